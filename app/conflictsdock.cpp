// SPDX-License-Identifier: MIT
#include "conflictsdock.h"
#include "differencemarks.h"
#include "hexmapview.h"
#include "layerdelegate.h"
#include "layerview.h"
#include "mapeditor.h"
#include "userdialogs.h"

#include <QFileInfo>
#include <QGridLayout>
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
constexpr int PictureSlot = 1; // the comparison's marks are drawn first

QString fileOf(const QString& path) {
    return QFileInfo(path).fileName();
}

} // namespace

ConflictsDock::ConflictsDock(MapEditor& editor, LayerViews views, HexMapView& picture, UserDialogs& dialogs,
                             QMainWindow* window)
    : QDockWidget(tr("Conflicts"), window), picture_(&picture), dialogs_(dialogs), window_(window),
      summary_(new QLabel), table_(new QTableView), count_(new QToolButton) {
    setObjectName(QStringLiteral("conflictsDock"));
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary_);
    // A row per conflict, of fixed height: the view asks only for the rows on show.
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table_, 1);
    // A row of buttons for each side: Hex, Selection, Layer, All.
    auto* take = new QGridLayout;
    const struct {
        MapMerge::Side side;
        const char* label;
        const char* name;
    } sides[] = {{MapMerge::Side::Ours, QT_TR_NOOP("Take ours:"), "Ours"},
                 {MapMerge::Side::Theirs, QT_TR_NOOP("Take theirs:"), "Theirs"},
                 {MapMerge::Side::Base, QT_TR_NOOP("Take base:"), "Base"}};
    const struct {
        MapMerge::Scope scope;
        const char* text;
        const char* name;
    } scopes[] = {{MapMerge::Scope::Hex, QT_TR_NOOP("Hex"), "Hex"},
                  {MapMerge::Scope::Selection, QT_TR_NOOP("Selection"), "Selection"},
                  {MapMerge::Scope::Layer, QT_TR_NOOP("Layer"), "Layer"},
                  {MapMerge::Scope::All, QT_TR_NOOP("All Left"), "All"}};
    int line = 0;
    for (const auto& side : sides) {
        take->addWidget(new QLabel(tr(side.label)), line, 0);
        int place = 1;
        for (const auto& scope : scopes) {
            auto* pushed = new QPushButton(tr(scope.text));
            pushed->setObjectName(
                QStringLiteral("take%1%2").arg(QLatin1String(side.name), QLatin1String(scope.name)));
            connect(pushed, &QPushButton::clicked, this,
                    [this, s = side.side, c = scope.scope] { this->take(s, c); });
            take->addWidget(pushed, line, place++);
        }
        ++line;
    }
    layout->addLayout(take);
    setWidget(content);
    setFeatures(DockWidgetClosable | DockWidgetFloatable | DockWidgetMovable);
    window_->addDockWidget(Qt::RightDockWidgetArea, this);
    count_->setAutoRaise(true);
    count_->setObjectName(QStringLiteral("conflictCount"));
    connect(count_, &QToolButton::clicked, this, [this] {
        show();
        raise();
    });
    window_->statusBar()->addPermanentWidget(count_);
    hide();
    count_->hide();
    connect(table_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { goTo(static_cast<std::size_t>(index.row())); });
    setEditor(&editor, std::move(views), &picture);
}

ConflictsDock::~ConflictsDock() {
    if (picture_) {
        picture_->setOverlay({}, PictureSlot);
    }
    table_->setModel(nullptr);
}

MapMerge* ConflictsDock::merge() const {
    return merge_;
}

void ConflictsDock::setEditor(MapEditor* editor, LayerViews views, HexMapView* picture) {
    for (const QMetaObject::Connection& connection : following_) {
        disconnect(connection);
    }
    following_.clear();
    if (picture_ && picture_ != picture) {
        picture_->setOverlay({}, PictureSlot);
    }
    editor_ = editor;
    views_ = std::move(views);
    picture_ = picture;
    // The marks of the session on show, drawn in its own picture.
    if (picture_) {
        picture_->setOverlay(
            [this, editor](QImage& image, QPointF mapOrigin, const HexGeometry& geometry) {
                if (merge_ && editor == editor_) {
                    differencemarks::drawOutlines(image, mapOrigin, geometry, [this](HexCell hex) {
                        return merge_->hexLeft(hex.column, hex.row);
                    });
                }
            },
            PictureSlot);
    }
    if (editor_) {
        following_.push_back(connect(editor_, &MapEditor::mergeChanged, this, &ConflictsDock::followMerge));
        following_.push_back(connect(editor_, &MapEditor::layerChanged, this, &ConflictsDock::markViewOf));
    }
    followMerge();
}

bool ConflictsDock::merge(const QString& base, const QString& ours, const QString& theirs,
                          const QString& output) {
    if (!editor_) {
        return false;
    }
    const DocumentResult merged = editor_->merge(base, ours, theirs, output);
    if (!merged) {
        dialogs_.messageBox(window_, tr("Merge"), tr("The maps were not merged."), merged.message);
        return false;
    }
    show();
    raise();
    return true;
}

void ConflictsDock::chooseAndMerge() {
    if (!editor_ || (views_.mayDiscardEdits && !views_.mayDiscardEdits())) {
        return;
    }
    const QString filter = tr("Map files (*.amp)");
    const QString suffix = QStringLiteral("amp");
    QStringList maps;
    for (const QString& title : {tr("Merge: the Base Map"), tr("Merge: Our Map"), tr("Merge: Their Map")}) {
        const QString name =
            dialogs_.openFileName(window_, FileDialogRequest{title, filter, suffix, QString()});
        if (name.isEmpty()) {
            return;
        }
        maps << name;
    }
    const QString output = dialogs_.saveFileName(
        window_, FileDialogRequest{tr("Merge: Write the Merged Map To"), filter, suffix, maps[1]});
    if (!output.isEmpty()) {
        merge(maps[0], maps[1], maps[2], output);
    }
}

// The list, the marks and the count follow the session's merge: a new one gets
// a model of its own, and one that ends takes its model with it.
void ConflictsDock::followMerge() {
    MapMerge* now = editor_ ? editor_->merge() : nullptr;
    if (now == merge_) {
        refresh();
        return;
    }
    table_->setModel(nullptr);
    model_.reset();
    merge_ = now;
    if (!merge_) {
        count_->hide();
        summary_->clear();
        if (picture_) {
            picture_->update();
        }
        hide();
        return;
    }
    model_ = std::make_unique<ConflictModel>(*merge_);
    table_->setModel(model_.get());
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (table_->hasFocus() && current.isValid()) {
                    goTo(static_cast<std::size_t>(current.row()));
                }
            });
    connect(merge_, &MapMerge::conflictsChanged, this, &ConflictsDock::refresh);
    const QStringList& names = merge_->fileNames();
    summary_->setText(tr("Merged %1 and %2 from their base %3, to be written to %4.")
                          .arg(fileOf(names.value(1)), fileOf(names.value(2)), fileOf(names.value(0)),
                               fileOf(editor_->document().fileName())));
    if (editor_) {
        markViewOf(editor_->layer());
    }
    refresh();
}

// The views of each layer mark their cells with a conflict left; a view is made
// the first time its layer is shown, so each is given its marks then.
void ConflictsDock::markViewOf(int layer) {
    if (!views_.view) {
        return;
    }
    if (auto* delegate = qobject_cast<LayerDelegate*>(views_.view(layer)->itemDelegate())) {
        delegate->setMarks(
            [this, layer](int column, int row) { return merge_ && merge_->cellLeft(layer, column, row); }, 1);
    }
}

QString ConflictsDock::countText() const {
    return merge_ ? merge_->countText() : QString();
}

void ConflictsDock::refresh() {
    if (!merge_) {
        return;
    }
    count_->setText(countText());
    count_->show();
    if (picture_) {
        picture_->update();
    }
    if (views_.view && editor_) {
        views_.view(editor_->layer())->viewport()->update();
    }
}

void ConflictsDock::goTo(std::size_t conflict) {
    if (!merge_ || !editor_ || conflict >= merge_->conflictCount()) {
        return;
    }
    const amp::MergeConflict& c = merge_->conflict(conflict);
    if (c.isHeader || c.column >= editor_->document().columns() || c.row >= editor_->document().rows()) {
        return; // no hex of the map to show
    }
    if (editor_->layer() != c.layer) {
        views_.showLayer(c.layer);
    }
    views_.selectHex(c.column, c.row);
}

void ConflictsDock::stepConflict(int step) {
    if (!merge_ || !editor_) {
        return;
    }
    std::optional<std::size_t> from;
    if (const QModelIndex current = table_->currentIndex(); current.isValid()) {
        from = static_cast<std::size_t>(current.row());
    } else if (const std::optional<HexCell> hex = editor_->currentHex()) {
        from = merge_->indexOf(editor_->layer(), hex->column, hex->row);
    }
    const std::optional<std::size_t> next = merge_->stepLeft(from, step);
    if (!next) {
        window_->statusBar()->showMessage(countText(), StatusTime);
        return;
    }
    table_->setCurrentIndex(model_->index(static_cast<int>(*next), 0));
    goTo(*next);
}

void ConflictsDock::take(MapMerge::Side side, MapMerge::Scope scope) {
    if (!merge_ || !editor_) {
        return;
    }
    const QString done = editor_->take(side, scope);
    window_->statusBar()->showMessage(done.isEmpty() ? tr("No conflict there to take") : done, StatusTime);
}
