// SPDX-License-Identifier: MIT
// The Layers list under the picture: what it draws, as in Tiled's layers panel. The
// base layer, and for each of the 13 layers a check box that lays it over the
// base, its style (marks, shade or values) and its opacity; the layer on show
// in the form, which painting edits, is marked. The View menu's hex labels and
// outlines live here too. Choices hold while the editor runs.
#pragma once

#include "mapformat.h"

#include <QWidget>

#include <array>
#include <functional>

class ActionTable;
class HexMapView;
class MapPanel;
class QComboBox;
class QMenu;
class QSpinBox;
class QTableWidget;

class LayersPanel : public QWidget {
    Q_OBJECT

public:
    explicit LayersPanel(HexMapView& view, QWidget* parent = nullptr);

    // Adds to the View menu the list's toggle and the hex labels and outlines.
    static void addViewActions(ActionTable& table, const QString& menu, std::function<MapPanel*()> panel);
    // The object names of the View menu's Hex Coordinates, Hex Values and Hex Outlines.
    static constexpr const char* CoordinatesAction = "hexCoordinatesAction";
    static constexpr const char* ValuesAction = "hexValuesAction";
    static constexpr const char* OutlinesAction = "hexOutlinesAction";

    QTableWidget* table() const { return table_; }
    QComboBox* baseBox() const { return base_; }
    // Marks the layer on show in the form.
    void setShownLayer(int layer);

private:
    void apply();
    void refreshRows();

    HexMapView& view_;
    QComboBox* base_;
    QTableWidget* table_;
    std::array<QComboBox*, amp::LayerCount> styles_{};
    std::array<QSpinBox*, amp::LayerCount> opacities_{};
    int shown_ = 0;
    bool filling_ = false;
};
