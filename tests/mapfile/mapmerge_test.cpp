// SPDX-License-Identifier: MIT
// The three-way merge of maps, over files written out byte by byte: the rule
// for each byte (ours unchanged takes theirs, theirs unchanged keeps ours, the
// same change is kept, two changes conflict and keep ours), the header, the
// shapes (one side resized, both the same way, both differently), short files.
#include "mapmerge.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace amp {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A map file: the seven header bytes, then the records as listed (file order).
Bytes file(std::initializer_list<int> header, std::initializer_list<CellRecord> records) {
    Bytes bytes;
    for (const int b : header) {
        bytes.push_back(static_cast<std::uint8_t>(b));
    }
    for (const CellRecord& record : records) {
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

Result<MergeResult> merge(const Bytes& base, const Bytes& ours, const Bytes& theirs) {
    return mergeMaps(viewMap(base).value(), viewMap(ours).value(), viewMap(theirs).value());
}

MergeConflict hexConflict(int column, int row, int layer, int base, int ours, int theirs) {
    MergeConflict conflict;
    conflict.column = column;
    conflict.row = row;
    conflict.layer = layer;
    conflict.base = base;
    conflict.ours = ours;
    conflict.theirs = theirs;
    return conflict;
}

constexpr int None = MergeConflict::NoByte;

TEST(MergeMaps, EachByteFollowsTheRule) {
    // One hex. Layer 0: only theirs changed. 1: only ours. 2: both, the same way.
    // 3: both, differently. 4: neither. 12: only theirs, to zero.
    const Bytes base = file({9, 0, 1, 0, 1, 0, 0}, {{10, 11, 12, 13, 14, 0, 0, 0, 0, 0, 0, 0, 99}});
    const Bytes ours = file({9, 0, 1, 0, 1, 0, 0}, {{10, 21, 32, 43, 14, 0, 0, 0, 0, 0, 0, 0, 99}});
    const Bytes theirs = file({9, 0, 1, 0, 1, 0, 0}, {{50, 11, 32, 63, 14, 0, 0, 0, 0, 0, 0, 0, 0}});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(encodeMap(result.value().merged),
              file({9, 0, 1, 0, 1, 0, 0}, {{50, 21, 32, 43, 14, 0, 0, 0, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(result.value().conflicts, std::vector<MergeConflict>{hexConflict(0, 0, 3, 13, 43, 63)});
    EXPECT_FALSE(result.value().clean());
    EXPECT_EQ(result.value().hexesFromTheirs, 1);
    EXPECT_EQ(result.value().conflictHexes, 1);
    EXPECT_EQ(result.value().shape, MergeResult::Shape::Same);
}

TEST(MergeMaps, HexesAreCountedOnceAndUntouchedMapsMergeCleanly) {
    // Two hexes: the first changed by theirs on two layers, the second by ours.
    const Bytes base = file({0, 0, 2, 0, 1, 0, 0}, {{1}, {2}});
    const Bytes ours = file({0, 0, 2, 0, 1, 0, 0}, {{1}, {7}});
    const Bytes theirs = file({0, 0, 2, 0, 1, 0, 0}, {{5, 5}, {2}});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(result.value().clean());
    EXPECT_EQ(encodeMap(result.value().merged), file({0, 0, 2, 0, 1, 0, 0}, {{5, 5}, {7}}));
    EXPECT_EQ(result.value().hexesFromTheirs, 1);
    EXPECT_EQ(result.value().conflictHexes, 0);

    // Three copies of one map merge to it.
    const auto same = merge(base, base, base);
    ASSERT_TRUE(same.ok());
    EXPECT_TRUE(same.value().clean());
    EXPECT_EQ(encodeMap(same.value().merged), base);
    EXPECT_EQ(same.value().hexesFromTheirs, 0);
}

TEST(MergeMaps, HeaderBytesMergeByTheRuleAndTheShapeNeverConflicts) {
    // Byte 0: only theirs changed; 1: only ours; 3: both the same; 5: both
    // differently; 6: neither. An empty map, so only the header counts.
    const Bytes base = file({1, 2, 0, 4, 0, 6, 7}, {});
    const Bytes ours = file({1, 20, 0, 40, 0, 60, 7}, {});
    const Bytes theirs = file({100, 2, 0, 40, 0, 61, 7}, {});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(encodeMap(result.value().merged), file({100, 20, 0, 40, 0, 60, 7}, {}));
    ASSERT_EQ(result.value().conflicts.size(), 1u);
    const MergeConflict& conflict = result.value().conflicts[0];
    EXPECT_TRUE(conflict.isHeader);
    EXPECT_EQ(conflict.headerByte, 5);
    EXPECT_EQ(conflict.base, 6);
    EXPECT_EQ(conflict.ours, 60);
    EXPECT_EQ(conflict.theirs, 61);
    EXPECT_EQ(result.value().conflictHexes, 0);

    // Theirs resizes to 1 x 1 while ours stays: bytes 2 and 4 follow the shape, no conflict.
    const auto resized = merge(base, base, file({1, 2, 1, 4, 1, 6, 7}, {{3}}));
    ASSERT_TRUE(resized.ok());
    EXPECT_TRUE(resized.value().clean());
    EXPECT_EQ(encodeMap(resized.value().merged), file({1, 2, 1, 4, 1, 6, 7}, {{3}}));
}

TEST(MergeMaps, ConflictsComeHeaderFirstThenInFileOrder) {
    // 2 x 2: records are [0][0], [0][1], [1][0], [1][1].
    const Bytes base = file({0, 0, 2, 0, 2, 0, 0}, {{}, {}, {}, {}});
    const Bytes ours = file({0, 1, 2, 0, 2, 0, 0}, {{}, {1, 0, 1}, {0, 0, 0, 0, 0, 1}, {}});
    const Bytes theirs = file({0, 2, 2, 0, 2, 0, 0}, {{}, {2, 0, 2}, {0, 0, 0, 0, 0, 2}, {}});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    const auto& conflicts = result.value().conflicts;
    ASSERT_EQ(conflicts.size(), 4u);
    EXPECT_TRUE(conflicts[0].isHeader);
    EXPECT_EQ(conflicts[0].headerByte, 1);
    EXPECT_EQ(conflicts[1], hexConflict(0, 1, 0, 0, 1, 2));
    EXPECT_EQ(conflicts[2], hexConflict(0, 1, 2, 0, 1, 2));
    EXPECT_EQ(conflicts[3], hexConflict(1, 0, 5, 0, 1, 2));
    EXPECT_EQ(result.value().conflictHexes, 2);
    // Ours is kept at every conflict.
    EXPECT_EQ(encodeMap(result.value().merged), ours);
}

TEST(MergeMaps, OnlyOursResizedGivesOursShapeWithTheirChangesInPlace) {
    // Base 2 x 2; ours grows to 2 x 3 (records now [0][0..2], [1][0..2]) and sets
    // its new hexes; theirs changes hex [1][1].
    const Bytes base = file({0, 0, 2, 0, 2, 0, 0}, {{1}, {2}, {3}, {4}});
    const Bytes ours = file({0, 0, 2, 0, 3, 0, 0}, {{1}, {2}, {8}, {3}, {4}, {9}});
    const Bytes theirs = file({0, 0, 2, 0, 2, 0, 0}, {{1}, {2}, {3}, {4, 44}});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().shape, MergeResult::Shape::Ours);
    EXPECT_TRUE(result.value().clean());
    EXPECT_EQ(encodeMap(result.value().merged),
              file({0, 0, 2, 0, 3, 0, 0}, {{1}, {2}, {8}, {3}, {4, 44}, {9}}));
    EXPECT_EQ(result.value().hexesFromTheirs, 1);
}

TEST(MergeMaps, AHexOneSideRemovedButTheOtherChangedIsAConflict) {
    // Base 2 x 2; ours shrinks to 1 x 2 (column 1 gone); theirs changed [1][0]
    // on layers 0 and 7 and left [1][1] alone, which goes without a word.
    const Bytes base = file({0, 0, 2, 0, 2, 0, 0}, {{1}, {2}, {3}, {4}});
    const Bytes ours = file({0, 0, 1, 0, 2, 0, 0}, {{1}, {2}});
    const Bytes theirs = file({0, 0, 2, 0, 2, 0, 0}, {{1}, {2}, {30, 0, 0, 0, 0, 0, 0, 5}, {4}});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().shape, MergeResult::Shape::Ours);
    EXPECT_EQ(encodeMap(result.value().merged), ours);
    EXPECT_EQ(result.value().conflicts, (std::vector<MergeConflict>{hexConflict(1, 0, 0, 3, None, 30),
                                                                    hexConflict(1, 0, 7, 0, None, 5)}));
    EXPECT_EQ(result.value().conflictHexes, 1);

    // The same the other way round: theirs removed the row, ours changed [0][1].
    const Bytes shorter = file({0, 0, 2, 0, 1, 0, 0}, {{1}, {3}});
    const Bytes changed = file({0, 0, 2, 0, 2, 0, 0}, {{1}, {2, 0, 0, 0, 6}, {3}, {4}});
    const auto other = merge(base, changed, shorter);
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(other.value().shape, MergeResult::Shape::Theirs);
    EXPECT_EQ(encodeMap(other.value().merged), shorter);
    EXPECT_EQ(other.value().conflicts, std::vector<MergeConflict>{hexConflict(0, 1, 4, 0, 6, None)});
}

TEST(MergeMaps, OnlyTheirsResizedBringsTheirNewHexes) {
    // Base 1 x 2; theirs grows to 2 x 2 with a new column; ours changes [0][1].
    const Bytes base = file({0, 0, 1, 0, 2, 0, 0}, {{1}, {2}});
    const Bytes ours = file({0, 0, 1, 0, 2, 0, 0}, {{1}, {2, 22}});
    const Bytes theirs = file({0, 0, 2, 0, 2, 0, 0}, {{1}, {2}, {0}, {7, 7}});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().shape, MergeResult::Shape::Theirs);
    EXPECT_TRUE(result.value().clean());
    EXPECT_EQ(encodeMap(result.value().merged), file({0, 0, 2, 0, 2, 0, 0}, {{1}, {2, 22}, {0}, {7, 7}}));
    // Both new hexes came whole from theirs, the all-zero one too.
    EXPECT_EQ(result.value().hexesFromTheirs, 2);
}

TEST(MergeMaps, BothResizedTheSameWayMergeTheirNewHexesAgainstZeros) {
    // Base 1 x 1; both grow to 1 x 3. Ours sets new hex [0][1], theirs [0][2];
    // both set [0][1] layer 1 the same way, and [0][2] layer 2 differently.
    const Bytes base = file({0, 0, 1, 0, 1, 0, 0}, {{5}});
    const Bytes ours = file({0, 0, 1, 0, 3, 0, 0}, {{5}, {6, 1}, {0, 0, 3}});
    const Bytes theirs = file({0, 0, 1, 0, 3, 0, 0}, {{5}, {0, 1}, {8, 0, 4}});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().shape, MergeResult::Shape::Ours);
    EXPECT_EQ(encodeMap(result.value().merged), file({0, 0, 1, 0, 3, 0, 0}, {{5}, {6, 1}, {8, 0, 3}}));
    EXPECT_EQ(result.value().conflicts, std::vector<MergeConflict>{hexConflict(0, 2, 2, 0, 3, 4)});
    EXPECT_EQ(result.value().hexesFromTheirs, 1);

    // Both shrank the same way: the hex both removed is simply gone.
    const auto shrunk = merge(ours, base, base);
    ASSERT_TRUE(shrunk.ok());
    EXPECT_TRUE(shrunk.value().clean());
    EXPECT_EQ(encodeMap(shrunk.value().merged), base);
}

TEST(MergeMaps, BothResizedDifferentlyIsRefusedNamingTheThreeShapes) {
    const Bytes base = file({0, 0, 40, 0, 30, 0, 0}, {});
    const Bytes ours = file({0, 0, 41, 0, 30, 0, 0}, {});
    const Bytes theirs = file({0, 0, 40, 0, 32, 0, 0}, {});
    const auto result = merge(base, ours, theirs);
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find("base 40 x 30, ours 41 x 30, theirs 40 x 32"), std::string::npos)
        << result.error().message;
}

TEST(MergeMaps, HexesAShortFileLacksHoldZeros) {
    // Base 1 x 3 holds one record and 5 bytes of the next: hexes [0][1] and
    // [0][2] are zeros. Ours holds only the header; theirs is complete and sets
    // [0][1] and [0][2]; ours sets nothing there but [0][0]'s layer 0 to 0.
    Bytes base = file({0, 0, 1, 0, 3, 0, 0}, {{9, 9}});
    base.insert(base.end(), {1, 2, 3, 4, 5});
    const Bytes ours = file({0, 0, 1, 0, 3, 0, 0}, {});
    const Bytes theirs = file({0, 0, 1, 0, 3, 0, 0}, {{9, 9}, {0, 0, 6}, {7}});
    const auto result = merge(base, ours, theirs);
    ASSERT_TRUE(result.ok());
    // [0][0]: ours made both bytes 0 (changed), theirs kept them: ours wins.
    EXPECT_TRUE(result.value().clean());
    EXPECT_EQ(encodeMap(result.value().merged), file({0, 0, 1, 0, 3, 0, 0}, {{0, 0}, {0, 0, 6}, {7}}));
    EXPECT_EQ(result.value().hexesFromTheirs, 2);
}

TEST(MergeMaps, ConflictsToldAsTheyAreFoundComeInTheSameOrderAndAreNotKept) {
    // Header byte 0, then [0][1] layer 12 and [1][0] layer 0 (2 x 2), and [1][1]
    // removed by ours' resize to 2 x 1 after theirs changed its layer 3.
    const Bytes base = file({1, 0, 2, 0, 2, 0, 0}, {{}, {}, {}, {}});
    const Bytes ours = file({2, 0, 2, 0, 1, 0, 0}, {{}, {5}});
    const Bytes theirs =
        file({3, 0, 2, 0, 2, 0, 0}, {{}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}, {6}, {0, 0, 0, 4}});
    std::vector<MergeConflict> told;
    const auto result = mergeMaps(viewMap(base).value(), viewMap(ours).value(), viewMap(theirs).value(),
                                  [&told](const MergeConflict& conflict) { told.push_back(conflict); });
    ASSERT_TRUE(result.ok());
    EXPECT_TRUE(result.value().conflicts.empty());
    ASSERT_EQ(told.size(), 4u);
    EXPECT_TRUE(told[0].isHeader);
    EXPECT_EQ(told[1], hexConflict(0, 1, 12, 0, None, 9));
    EXPECT_EQ(told[2], hexConflict(1, 0, 0, 0, 5, 6));
    EXPECT_EQ(told[3], hexConflict(1, 1, 3, 0, None, 4));
    EXPECT_EQ(result.value().conflictHexes, 3);
    EXPECT_EQ(encodeMap(result.value().merged), file({2, 0, 2, 0, 1, 0, 0}, {{}, {5}}));

    const auto kept = merge(base, ours, theirs);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept.value().conflicts, told);
}

TEST(MergeMaps, LayersAreNamedAsTheFormatNamesThemWithTheUnnamedByTheirByte) {
    EXPECT_EQ(mergeLayerName(0), "Terraintype");
    EXPECT_EQ(mergeLayerName(1), "byte 1");
    EXPECT_EQ(mergeLayerName(2), "byte 2");
    EXPECT_EQ(mergeLayerName(3), "byte 3");
    EXPECT_EQ(mergeLayerName(4), "height b1");
    EXPECT_EQ(mergeLayerName(6), "roads");
    EXPECT_EQ(mergeLayerName(12), "Text ID b4");
}

} // namespace
} // namespace amp
