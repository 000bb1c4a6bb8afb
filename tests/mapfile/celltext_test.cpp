// SPDX-License-Identifier: MIT
#include "celltext.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace amp {
namespace {

TEST(ByteText, IsPlainDecimalAndReadsBackAsTheSameByte) {
    EXPECT_EQ(byteText(0), "0");
    EXPECT_EQ(byteText(7), "7");
    EXPECT_EQ(byteText(42), "42");
    EXPECT_EQ(byteText(255), "255");
    for (int value = 0; value < 256; ++value) {
        const auto text = byteText(static_cast<std::uint8_t>(value));
        EXPECT_EQ(textToByte(text), value) << text;
        EXPECT_TRUE(text.size() == 1 || text.front() != '0') << "no leading zero: " << text;
    }
}

struct Conversion {
    std::string text;
    std::int32_t value;
    std::uint8_t byte;
    friend void PrintTo(const Conversion& c, std::ostream* out) { *out << '"' << c.text << '"'; }
};

class TextConversion : public testing::TestWithParam<Conversion> {};

TEST_P(TextConversion, GivesTheValueAndItsLowEightBits) {
    const auto& c = GetParam();
    EXPECT_EQ(textValue(c.text), c.value);
    EXPECT_EQ(textToByte(c.text), c.byte);
    // Cell texts reach the rule as UTF-16; both forms must agree.
    const std::u16string wide(c.text.begin(), c.text.end());
    EXPECT_EQ(textValue<char16_t>(wide), c.value);
    EXPECT_EQ(textToByte<char16_t>(wide), c.byte);
}

INSTANTIATE_TEST_SUITE_P(Rule, TextConversion,
                         testing::Values(
                             // The values every map maker relies on.
                             Conversion{"17", 17, 17}, Conversion{"255", 255, 255}, Conversion{"256", 256, 0},
                             Conversion{"300", 300, 44}, Conversion{"-1", -1, 255}, Conversion{"", 0, 0},
                             Conversion{"abc", 0, 0}, Conversion{"12abc", 0, 0}, Conversion{"007", 7, 7},
                             Conversion{"-0", 0, 0}, Conversion{"-256", -256, 0}, Conversion{"-255", -255, 1},
                             // Sign and blanks: one leading sign, leading blanks skipped, nothing after.
                             Conversion{"+5", 5, 5}, Conversion{" 7", 7, 7}, Conversion{"\t 7", 7, 7},
                             Conversion{"7 ", 0, 0}, Conversion{"+-5", 0, 0}, Conversion{"--5", 0, 0},
                             Conversion{"-", 0, 0}, Conversion{"+", 0, 0}, Conversion{"  ", 0, 0},
                             Conversion{"1 2", 0, 0}, Conversion{"0x1F", 0, 0}, Conversion{"$1F", 0, 0},
                             Conversion{"1.5", 0, 0}, Conversion{"1e3", 0, 0},
                             // 32-bit limits: a number that does not fit is not a number.
                             Conversion{"2147483647", 2147483647, 255}, Conversion{"2147483648", 0, 0},
                             Conversion{"-2147483648", -2147483647 - 1, 0}, Conversion{"-2147483649", 0, 0},
                             Conversion{"99999999999", 0, 0}, Conversion{"00000000000000000000042", 42, 42}));

TEST(TextConversion, NonAsciiDigitsAreNotNumbers) {
    // Arabic-Indic seven and a full-width seven look like digits but are not ours.
    EXPECT_EQ(textValue<char16_t>(u"\u0667"), 0);
    EXPECT_EQ(textValue<char16_t>(u"\uFF17"), 0);
    EXPECT_EQ(textValue<char16_t>(u"7\u00A0"), 0);
}

} // namespace
} // namespace amp
