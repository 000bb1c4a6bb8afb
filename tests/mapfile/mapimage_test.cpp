// SPDX-License-Identifier: MIT
#include "mapimage.h"

#include <gtest/gtest.h>

#include <numeric>

namespace amp {
namespace {

const MapHeader TenByEight{{0x2A, 0x00, 0x0A, 0x00, 0x08, 0x00, 0x05}};

// A file with the given header and `records` records in which every byte tells
// where it stands: byte j of record k is (k * 13 + j) % 251.
std::vector<std::uint8_t> fileWith(const MapHeader& header, int records, int extraBytes = 0) {
    std::vector<std::uint8_t> bytes(header.bytes.begin(), header.bytes.end());
    for (int i = 0; i < records * RecordSize + extraBytes; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i % 251));
    }
    return bytes;
}

std::uint8_t expectedByte(int record, int layer) {
    return static_cast<std::uint8_t>((record * 13 + layer) % 251);
}

TEST(DecodeMap, CompleteFileGivesEveryRecordAtItsOffset) {
    const auto bytes = fileWith(TenByEight, 80);
    ASSERT_EQ(bytes.size(), 1047u);
    const auto image = decodeMap(bytes);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image.value().header, TenByEight);
    ASSERT_EQ(image.value().records.size(), 80u);
    for (int layer = 0; layer < LayerCount; ++layer) {
        EXPECT_EQ(image.value().records[8][layer], bytes[111 + layer]);
        EXPECT_EQ(image.value().records[79][layer], bytes[1034 + layer]);
        EXPECT_EQ(image.value().records[79][layer], expectedByte(79, layer));
    }
}

TEST(DecodeMap, KeepsOnlyCompleteRecordsThatLandOnAHex) {
    struct Case {
        const char* what;
        MapHeader header;
        int records;
        int extra;
        std::size_t kept;
    };
    const Case cases[] = {
        {"short file", TenByEight, 5, 0, 5},
        {"trailing partial record", TenByEight, 5, 12, 5},
        {"one byte of a record", TenByEight, 79, 1, 79},
        {"surplus records", TenByEight, 95, 7, 80},
        {"header alone", TenByEight, 0, 0, 0},
        {"no columns", MapHeader{{1, 2, 0, 4, 8, 6, 7}}, 10, 0, 0},
        {"no rows", MapHeader{{1, 2, 10, 4, 0, 6, 7}}, 10, 0, 0},
    };
    for (const auto& c : cases) {
        const auto image = decodeMap(fileWith(c.header, c.records, c.extra));
        ASSERT_TRUE(image.ok()) << c.what;
        EXPECT_EQ(image.value().header, c.header) << c.what;
        ASSERT_EQ(image.value().records.size(), c.kept) << c.what;
        for (std::size_t k = 0; k < c.kept; ++k) {
            EXPECT_EQ(image.value().records[k][12], expectedByte(static_cast<int>(k), 12)) << c.what;
        }
    }
}

TEST(DecodeMap, FewerThanSevenBytesIsNotAMap) {
    for (std::size_t size = 0; size < HeaderSize; ++size) {
        const std::vector<std::uint8_t> bytes(size, 9);
        const auto image = decodeMap(bytes);
        ASSERT_FALSE(image.ok()) << size;
        EXPECT_EQ(image.error().kind, MapErrorKind::NotAMap);
        EXPECT_NE(image.error().message.find(std::to_string(size) + " bytes"), std::string::npos);
    }
}

TEST(EncodeMap, GivesBackEveryCompleteFileByteForByte) {
    for (const auto& header : {TenByEight, MapHeader{{0, 0, 255, 1, 255, 2, 3}},
                               MapHeader{{9, 9, 1, 9, 1, 9, 9}}, MapHeader{{1, 2, 0, 4, 0, 6, 7}}}) {
        const auto bytes = fileWith(header, header.hexCount());
        EXPECT_EQ(encodeMap(decodeMap(bytes).value()), bytes) << header.columns() << " x " << header.rows();
    }
}

TEST(EncodeMap, WritesExactlyColumnsTimesRowsRecords) {
    const auto shortImage = decodeMap(fileWith(TenByEight, 5, 6)).value();
    const auto shortFile = encodeMap(shortImage);
    ASSERT_EQ(shortFile.size(), 1047u);
    const auto longFile = fileWith(TenByEight, 80);
    EXPECT_TRUE(std::equal(shortFile.begin(), shortFile.begin() + 7 + 5 * 13, longFile.begin()));
    EXPECT_TRUE(std::all_of(shortFile.begin() + 7 + 5 * 13, shortFile.end(), [](auto b) { return b == 0; }))
        << "hexes without a record are zero";

    const auto surplus = fileWith(TenByEight, 100, 3);
    const auto trimmed = encodeMap(decodeMap(surplus).value());
    EXPECT_EQ(trimmed, std::vector<std::uint8_t>(surplus.begin(), surplus.begin() + 1047));
}

} // namespace
} // namespace amp
