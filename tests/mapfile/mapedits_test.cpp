// SPDX-License-Identifier: MIT
// The rules of whole-map edits that the editor and amptool share, on their plain
// cores: resize about an anchor (how far hexes move, which are kept, the anchor's
// names) and the replace of one value by another.
#include "mapreplace.h"
#include "mapresize.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace amp {
namespace {

// A map whose hex [c][r] holds 1 + c + 10 r on every layer (0 marks a new hex),
// with `missing` records left off its end, as a short file gives.
MapImage markedMap(int columns, int rows, int missing = 0) {
    MapImage map = makeMap({}, columns, rows);
    map.header.bytes[0] = 42;
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            map.records[static_cast<std::size_t>(c * rows + r)].fill(
                static_cast<std::uint8_t>(1 + c + 10 * r));
        }
    }
    map.records.resize(map.records.size() - static_cast<std::size_t>(missing));
    return map;
}

struct ResizeCase {
    int columns, rows;       // before
    int newColumns, newRows; // after
    ResizeAnchor anchor;
    int shiftColumns, shiftRows; // where [0][0] goes
};

// The shifts written out: none for left and top, all the change for right and
// bottom, half of it toward zero for a middle (3 -> 1, -3 -> -1, -1 -> 0).
const ResizeCase Cases[] = {
    {3, 2, 6, 5, ResizeAnchor::TopLeft, 0, 0},       {3, 2, 6, 5, ResizeAnchor::Top, 1, 0},
    {3, 2, 6, 5, ResizeAnchor::TopRight, 3, 0},      {3, 2, 6, 5, ResizeAnchor::Left, 0, 1},
    {3, 2, 6, 5, ResizeAnchor::Centre, 1, 1},        {3, 2, 6, 5, ResizeAnchor::Right, 3, 1},
    {3, 2, 6, 5, ResizeAnchor::BottomLeft, 0, 3},    {3, 2, 6, 5, ResizeAnchor::Bottom, 1, 3},
    {3, 2, 6, 5, ResizeAnchor::BottomRight, 3, 3},   {5, 4, 2, 1, ResizeAnchor::Centre, -1, -1},
    {5, 4, 2, 1, ResizeAnchor::BottomRight, -3, -3}, {3, 2, 2, 1, ResizeAnchor::Centre, 0, 0},
    {4, 4, 7, 2, ResizeAnchor::Right, 3, -1},
};

class Resize : public testing::TestWithParam<ResizeCase> {};

TEST_P(Resize, EveryHexMovesByTheAnchorsShiftAndNewHexesAreZero) {
    const ResizeCase& c = GetParam();
    const MapImage resized = resizeMap(markedMap(c.columns, c.rows), c.newColumns, c.newRows, c.anchor);
    const HexShift shift = resizeShift(c.columns, c.rows, c.newColumns, c.newRows, c.anchor);
    EXPECT_EQ(shift.columns, c.shiftColumns);
    EXPECT_EQ(shift.rows, c.shiftRows);
    EXPECT_EQ(resized.header.columns(), c.newColumns);
    EXPECT_EQ(resized.header.rows(), c.newRows);
    EXPECT_EQ(resized.header.bytes[0], 42);
    ASSERT_EQ(resized.records.size(), static_cast<std::size_t>(c.newColumns * c.newRows));
    for (int column = 0; column < c.newColumns; ++column) {
        for (int row = 0; row < c.newRows; ++row) {
            const int oldColumn = column - c.shiftColumns, oldRow = row - c.shiftRows;
            const bool kept = oldColumn >= 0 && oldColumn < c.columns && oldRow >= 0 && oldRow < c.rows;
            CellRecord expected{};
            expected.fill(kept ? static_cast<std::uint8_t>(1 + oldColumn + 10 * oldRow) : 0);
            EXPECT_EQ(resized.records[static_cast<std::size_t>(column * c.newRows + row)], expected)
                << column << "," << row;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Anchors, Resize, testing::ValuesIn(Cases));

TEST(ResizeRule, HexesAShortFileLacksAreZeroWhereverTheyGo) {
    // 2 x 2 without its last record ([1][1]), grown by one column from the right.
    const MapImage resized = resizeMap(markedMap(2, 2, 1), 3, 2, ResizeAnchor::Right);
    EXPECT_EQ(resized.records[2][0], 1);  // [0][0] went to [1][0]
    EXPECT_EQ(resized.records[4][0], 2);  // [1][0] went to [2][0]
    EXPECT_EQ(resized.records[5][12], 0); // [1][1], which the file lacked, went to [2][1]
}

TEST(ResizeRule, AnchorsGoByTheirNames) {
    const std::vector<std::pair<std::string, ResizeAnchor>> named = {
        {"top-left", ResizeAnchor::TopLeft},   {"top", ResizeAnchor::Top},
        {"top-right", ResizeAnchor::TopRight}, {"left", ResizeAnchor::Left},
        {"centre", ResizeAnchor::Centre},      {"center", ResizeAnchor::Centre},
        {"right", ResizeAnchor::Right},        {"bottom-left", ResizeAnchor::BottomLeft},
        {"bottom", ResizeAnchor::Bottom},      {"bottom-right", ResizeAnchor::BottomRight},
        {"Centre", ResizeAnchor::Centre},      {"TOP-Left", ResizeAnchor::TopLeft}};
    for (const auto& [word, anchor] : named) {
        EXPECT_EQ(anchorNamed(word), anchor) << word;
    }
    for (const char* word : {"", "middle", "topleft", "top left", "top_left", "centre ", "4"}) {
        EXPECT_FALSE(anchorNamed(word).has_value()) << word;
    }
}

TEST(ReplaceRule, OnlyTheChosenLayersCellsOfTheValueChange) {
    MapImage map = makeMap({}, 2, 2);
    map.records[0] = {7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7};
    map.records[1] = {7, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    map.records[3] = {1, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7};
    MapImage onLayer = map;
    EXPECT_EQ(replaceValues(onLayer, ValueReplace::onLayer(0, 7, 9)), 2);
    EXPECT_EQ(onLayer.records[0], (CellRecord{9, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}));
    EXPECT_EQ(onLayer.records[1], (CellRecord{9, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(onLayer.records[3], map.records[3]);
    MapImage everywhere = map;
    EXPECT_EQ(replaceValues(everywhere, ValueReplace::onEveryLayer(7, 9)), 6);
    EXPECT_EQ(everywhere.records[3], (CellRecord{1, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}));
    // A value replaced by itself changes nothing and counts nothing.
    MapImage same = map;
    EXPECT_EQ(replaceValues(same, ValueReplace::onEveryLayer(7, 7)), 0);
    EXPECT_EQ(same.records, map.records);
}

TEST(ReplaceRule, CellsLeftOutStayAndTheRestGoLayerByLayerInFileOrder) {
    // Two layers of four slots; the caller leaves slot 2 of layer 5 out.
    const std::uint8_t cells[2][4] = {{4, 0, 4, 4}, {4, 4, 4, 1}};
    ValueReplace rule = ValueReplace::onLayer(3, 4, 8);
    rule.layers[5] = true;
    std::vector<std::pair<int, std::size_t>> changed;
    forEachReplaced(
        rule, 4, [&](int layer, std::size_t slot) { return cells[layer == 3 ? 0 : 1][slot]; },
        [](int layer, std::size_t slot) { return !(layer == 5 && slot == 2); },
        [&](int layer, std::size_t slot) { changed.emplace_back(layer, slot); });
    EXPECT_EQ(changed, (std::vector<std::pair<int, std::size_t>>{{3, 0}, {3, 2}, {3, 3}, {5, 0}, {5, 1}}));
}

} // namespace
} // namespace amp
