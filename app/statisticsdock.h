// SPDX-License-Identifier: MIT
// The Statistics dock: what the whole map, the selection, each half and each
// territory hold, side by side (hexes, each terrain's count and share, cities,
// road hexes, "height b1" lowest, mean and highest), the difference between the
// halves and between two territories, and how symmetric each layer is under a
// mirror or a half turn. It counts again a quiet moment after the map changes,
// and only while it is on show. Clicking a count selects those hexes. It follows
// the session on show (setEditor) and keeps no copy of its state.
#pragma once

#include "mapstats.h"

#include <QDockWidget>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <vector>

class MapEditor;
class QComboBox;
class QMainWindow;
class QTableWidget;
class QTimer;

class StatisticsDock : public QDockWidget {
    Q_OBJECT

public:
    explicit StatisticsDock(QMainWindow* window);

    void setEditor(MapEditor* editor);

    // The counts: a row per measure, a column per part of the map.
    QTableWidget* counts() const { return counts_; }
    // The symmetry scores: a row per layer and one for all of them.
    QTableWidget* symmetry() const { return symmetry_; }
    QComboBox* halves() const { return half_; }
    QComboBox* flips() const { return flip_; }

    // Counts now, whether on show or not.
    void refresh();
    // Selects the hexes a count counted (row and column of counts()); false
    // when the cell is no count of hexes.
    bool selectCounted(int row, int column);

private:
    void refreshLater();
    void refreshSymmetry();

    // A part of the map: its hexes (all of them when `whole`), its counts.
    struct Part {
        QString title;
        bool whole = false;
        std::vector<std::int32_t> held;
        amp::HexStats stats;
    };
    // What a row counts: all hexes, one terrain value, cities, roads, heights.
    enum class Measure { Hexes, Terrain, Cities, Roads, HeightMin, HeightMean, HeightMax };
    struct Row {
        Measure measure;
        int terrain = 0;
    };

    QPointer<MapEditor> editor_;
    QList<QMetaObject::Connection> followed_;
    QComboBox* half_;
    QComboBox* flip_;
    QTableWidget* counts_;
    QTableWidget* symmetry_;
    QTimer* later_;
    bool sized_ = false;      // given its first height
    std::vector<Part> parts_; // by column; a difference column has none
    std::vector<int> partOfColumn_;
    std::vector<Row> rows_;
};
