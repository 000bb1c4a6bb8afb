// SPDX-License-Identifier: MIT
#include "differencesdock.h"
#include "differencemarks.h"
#include "differencemodel.h"
#include "diskwatch.h"
#include "hexmapview.h"
#include "layerdelegate.h"
#include "layerview.h"
#include "mapdocument.h"
#include "mapeditor.h"
#include "userdialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int StatusTime = 8000;

QString cellsText(const QRect& cells) {
    return QObject::tr("columns %1–%2, rows %3–%4")
        .arg(cells.left())
        .arg(cells.right())
        .arg(cells.top())
        .arg(cells.bottom());
}

} // namespace

DifferencesDock::DifferencesDock(MapEditor& editor, LayerViews views, HexMapView& picture,
                                 UserDialogs& dialogs, QMainWindow* window)
    : QDockWidget(tr("Differences"), window), dialogs_(dialogs), window_(window), summary_(new QLabel),
      filter_(new QComboBox), everyLayer_(new QCheckBox(tr("Mark every layer"))), table_(new QTableView),
      count_(new QToolButton) {
    setObjectName(QStringLiteral("differencesDock"));
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary_);
    auto* options = new QHBoxLayout;
    filter_->addItem(tr("Every layer"));
    for (int i = 0; i < amp::LayerCount; ++i) {
        filter_->addItem(DifferenceModel::layerText(i));
    }
    options->addWidget(filter_);
    options->addWidget(everyLayer_);
    layout->addLayout(options);
    // A row per difference, of fixed height: the view asks only for the rows on show.
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table_, 1);
    // The buttons two by two: the dock stays narrow enough to lie beside the
    // form on a small desktop.
    layout->addWidget(new QLabel(tr("Take theirs:")));
    auto* take = new QGridLayout;
    const auto button = [this, take](const QString& text, MapComparison::Scope scope) {
        auto* pushed = new QPushButton(text);
        pushed->setObjectName(QStringLiteral("take") + QString(text).remove('&'));
        connect(pushed, &QPushButton::clicked, this, [this, scope] { takeTheirs(scope); });
        const int placed = take->count();
        take->addWidget(pushed, placed / 2, placed % 2);
    };
    button(tr("&Hex"), MapComparison::Scope::Hex);
    button(tr("&Selection"), MapComparison::Scope::Selection);
    button(tr("&Layer"), MapComparison::Scope::Layer);
    button(tr("&All"), MapComparison::Scope::All);
    layout->addLayout(take);
    auto* swap = new QPushButton(tr("S&wap Maps"));
    connect(swap, &QPushButton::clicked, this, &DifferencesDock::swapMaps);
    layout->addWidget(swap);
    setWidget(content);
    setFeatures(DockWidgetClosable | DockWidgetFloatable | DockWidgetMovable);
    window_->addDockWidget(Qt::RightDockWidgetArea, this);
    count_->setAutoRaise(true);
    count_->setObjectName(QStringLiteral("differenceCount"));
    connect(count_, &QToolButton::clicked, this, [this] {
        show();
        raise();
    });
    window_->statusBar()->addPermanentWidget(count_);
    hide();
    count_->hide();

    connect(filter_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (model_) {
            model_->setLayerFilter(index - 1);
        }
    });
    connect(everyLayer_, &QCheckBox::toggled, this, [this] { picture_->update(); });
    // A row chosen in the list (a click, or the keys while the list has the focus)
    // selects its hex; rows that move as the map is edited select nothing.
    connect(table_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { goTo(model_->differenceAt(index.row())); });
    // The picture follows the layer by itself; the view on show needs its marks.
    setEditor(&editor, std::move(views), &picture);
}

// Each session keeps its compared map and the watch on that map's file; the dock
// shows the one of the session on show.
void DifferencesDock::setEditor(MapEditor* editor, LayerViews views, HexMapView* picture) {
    if (editor_) {
        disconnect(editor_, nullptr, this, nullptr);
    }
    if (picture_ && picture_ != picture) {
        picture_->setOverlay({});
    }
    editor_ = editor;
    document_ = &editor->document();
    views_ = std::move(views);
    picture_ = picture;
    const QString watchName = QStringLiteral("comparedMapWatch");
    watch_ = editor->findChild<DiskWatch*>(watchName, Qt::FindDirectChildrenOnly);
    if (!watch_) {
        watch_ = new DiskWatch(editor->comparedMap(), editor);
        watch_->setObjectName(watchName);
        connect(watch_, &DiskWatch::told, this, [this, watch = watch_] {
            if (watch == watch_) {
                tellOtherOnDisk();
            }
        });
    }
    connect(editor_, &MapEditor::layerChanged, this, &DifferencesDock::markViewOf);
    connect(editor_, &MapEditor::comparisonChanged, this, &DifferencesDock::followComparison);
    picture_->setOverlay([this, editor](QImage& image, QPointF mapOrigin, const HexGeometry& geometry) {
        if (!comparison_ || editor != editor_) {
            return;
        }
        const int layer = picture_->layer();
        const bool every = everyLayer_->isChecked();
        differencemarks::drawOutlines(image, mapOrigin, geometry, [this, layer, every](HexCell hex) {
            return every ? comparison_->hexDiffers(hex.column, hex.row)
                         : comparison_->differs(layer, hex.column, hex.row);
        });
    });
    const bool wasComparing = comparison_ != nullptr;
    followComparison();
    if (comparison_ && !wasComparing) {
        show();
    } else if (!comparison_ && wasComparing) {
        hide();
    }
}

DifferencesDock::~DifferencesDock() {
    if (picture_) {
        picture_->setOverlay({});
    }
    table_->setModel(nullptr);
}

const MapDocument& DifferencesDock::other() const {
    return editor_->comparedMap();
}

// A map that cannot be read is told in the words of File > Read Map.
void DifferencesDock::tellReadFailure(const QString& fileName, const DocumentResult& read) {
    const QString caption =
        read.kind == DocumentResult::Kind::CannotOpen ? tr("AMP File Error") : tr("File Error");
    const QString text = read.kind == DocumentResult::Kind::NotAMap      ? tr("  is not a map file.")
                         : read.kind == DocumentResult::Kind::CannotOpen ? tr("  Open unsuccessful.")
                                                                         : tr("  Read unsuccessful.");
    dialogs_.messageBox(window_, caption, fileName + text, read.message);
}

bool DifferencesDock::compareWith(const QString& fileName) {
    const DocumentResult read = editor_->compareWith(fileName);
    if (!read) {
        tellReadFailure(fileName, read);
        return false;
    }
    show();
    raise();
    return true;
}

// The list, the marks and the count follow the session's comparison: a new one
// gets a model of its own, and one that ends takes its model with it.
void DifferencesDock::followComparison() {
    MapComparison* now = editor_->comparison();
    if (now != comparison_) {
        table_->setModel(nullptr);
        model_.reset();
        comparison_ = now;
        if (!comparison_) {
            count_->hide();
            picture_->update();
            views_.view(editor_->layer())->viewport()->update();
            return;
        }
        model_ = std::make_unique<DifferenceModel>(*comparison_);
        model_->setLayerFilter(filter_->currentIndex() - 1);
        // The rows move under the current one while the map is edited, which
        // chooses no hex: the flag is set before the view and its selection move
        // their current row, and cleared after.
        const DifferenceModel* model = model_.get();
        const auto moving = [this] { moving_ = true; };
        const auto moved = [this] { moving_ = false; };
        connect(model, &DifferenceModel::rowsAboutToBeRemoved, this, moving);
        connect(model, &DifferenceModel::rowsAboutToBeInserted, this, moving);
        connect(model, &DifferenceModel::modelAboutToBeReset, this, moving);
        connect(model, &DifferenceModel::layoutAboutToBeChanged, this, moving);
        table_->setModel(model_.get());
        connect(model, &DifferenceModel::rowsRemoved, this, moved);
        connect(model, &DifferenceModel::rowsInserted, this, moved);
        connect(model, &DifferenceModel::modelReset, this, moved);
        connect(model, &DifferenceModel::layoutChanged, this, moved);
        table_->setSortingEnabled(true);
        table_->sortByColumn(DifferenceModel::ColumnColumn, Qt::AscendingOrder);
        connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& current) {
                    if (!moving_ && table_->hasFocus() && current.isValid()) {
                        goTo(model_->differenceAt(current.row()));
                    }
                });
        connect(comparison_, &MapComparison::compared, this, &DifferencesDock::refresh);
        connect(comparison_, &MapComparison::cellsChanged, this, &DifferencesDock::refresh);
        markViewOf(editor_->layer());
    }
    if (comparison_) {
        setWindowTitle(tr("Differences: %1").arg(QFileInfo(other().fileName()).fileName()));
        refresh();
    }
}

void DifferencesDock::chooseAndCompare() {
    const FileDialogRequest request{tr("Compare With"), tr("Map files (*.amp)"), QStringLiteral("amp"),
                                    QString()};
    const QString fileName = dialogs_.openFileName(window_, request);
    if (!fileName.isEmpty()) {
        compareWith(fileName);
    }
}

void DifferencesDock::stopComparing() {
    editor_->stopComparing();
}

void DifferencesDock::closeEvent(QCloseEvent* event) {
    stopComparing();
    QDockWidget::closeEvent(event);
}

// The views of each layer mark their differing cells; a view is made the first
// time its layer is shown, so each is given its marks then.
void DifferencesDock::markViewOf(int layer) {
    if (auto* delegate = qobject_cast<LayerDelegate*>(views_.view(layer)->itemDelegate())) {
        delegate->setMarks([this, layer, editor = editor_](int column, int row) {
            return editor == editor_ && comparison_ && comparison_->differs(layer, column, row);
        });
    }
}

QString DifferencesDock::countText() const {
    return comparison_ ? comparison_->countText() : QString();
}

// What the list does not show: the header bytes and the sizes that differ, and
// the hexes only one map has.
QString DifferencesDock::summary() const {
    if (!comparison_) {
        return {};
    }
    const QString otherName = QFileInfo(other().fileName()).fileName();
    QStringList lines;
    for (const int i : comparison_->headerDifferences()) {
        lines << tr("Header byte %1: %2 here, %3 in %4")
                     .arg(i)
                     .arg(document_->header().bytes[static_cast<std::size_t>(i)])
                     .arg(other().header().bytes[static_cast<std::size_t>(i)])
                     .arg(otherName);
    }
    if (!comparison_->sameSize()) {
        lines << tr("Size: %1 × %2 here, %3 × %4 in %5")
                     .arg(document_->columns())
                     .arg(document_->rows())
                     .arg(other().columns())
                     .arg(other().rows())
                     .arg(otherName);
    }
    for (const QRect& cells : comparison_->onlyInEdited()) {
        lines << tr("Only in this map: %1").arg(cellsText(cells));
    }
    for (const QRect& cells : comparison_->onlyInOther()) {
        lines << tr("Only in the other: %1").arg(cellsText(cells));
    }
    if (lines.isEmpty()) {
        lines << tr("Headers and sizes are the same.");
    }
    return lines.join('\n');
}

void DifferencesDock::refresh() {
    if (!comparison_) {
        return;
    }
    summary_->setText(summary());
    count_->setText(countText());
    count_->show();
    picture_->update();
    views_.view(editor_->layer())->viewport()->update();
}

void DifferencesDock::goTo(const Difference& difference) {
    if (editor_->layer() != difference.layer) {
        views_.showLayer(difference.layer);
    }
    views_.selectHex(difference.column, difference.row);
}

void DifferencesDock::stepDifference(int step) {
    if (!comparison_ || model_->rowCount() == 0) {
        return;
    }
    const int rows = model_->rowCount();
    const QModelIndex current = table_->currentIndex();
    int row = 0;
    if (current.isValid()) {
        row = ((current.row() + step) % rows + rows) % rows;
    } else {
        const std::optional<HexCell> hex = document_->selection().currentHex();
        const Difference from{editor_->layer(), hex ? hex->column : -1, hex ? hex->row : -1};
        if (const auto next = comparison_->step(from, step, model_->layerFilter())) {
            row = model_->rowOf(*next).value_or(0);
        }
    }
    table_->setCurrentIndex(model_->index(row, 0));
    goTo(model_->differenceAt(row));
}

void DifferencesDock::takeTheirs(MapComparison::Scope scope) {
    if (!comparison_ || (scope == MapComparison::Scope::Hex && !editor_->currentHex())) {
        return;
    }
    const QString done = editor_->takeTheirs(scope);
    window_->statusBar()->showMessage(done.isEmpty() ? tr("Nothing to take there: the maps agree") : done,
                                      StatusTime);
}

void DifferencesDock::swapMaps() {
    const QString mine = document_->fileName();
    const QString theirs = other().fileName();
    if (!comparison_ || theirs.isEmpty()) {
        return;
    }
    if (mine.isEmpty()) {
        dialogs_.showMessage(window_, tr("The edited map has no file yet: write it first, then swap."));
        return;
    }
    if (!views_.mayDiscardEdits()) {
        return;
    }
    // A failure names the file that could not be read: theirs, or then mine.
    if (const DocumentResult swapped = editor_->swapCompared(); !swapped) {
        tellReadFailure(document_->fileName() == theirs ? mine : theirs, swapped);
        return;
    }
    show();
    raise();
}

void DifferencesDock::setMarkingEveryLayer(bool every) {
    everyLayer_->setChecked(every);
}

// The watch's own words are for the edited map: the map compared with is told
// of in words of its own.
void DifferencesDock::tellOtherOnDisk() {
    const QString name = QFileInfo(other().fileName()).fileName();
    const QString text =
        QFileInfo::exists(other().fileName())
            ? tr("%1, the map compared with, cannot be read again; the comparison keeps it as last read")
            : tr("%1, the map compared with, was deleted on disk; the comparison keeps it as last read");
    window_->statusBar()->showMessage(text.arg(name), StatusTime);
}
