// SPDX-License-Identifier: MIT
#include "tfrmmaped.h"
#include "celledits.h"
#include "filenames.h"
#include "layermodel.h"
#include "layerview.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "mapimage.h"
#include "scriptfolders.h"
#include "ui_tfrmmaped.h"
#include "userdialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLocale>
#include <QPixmap>
#include <QScreen>
#include <QSignalBlocker>

#include <algorithm>
#include <optional>

namespace {

// "Small Fonts" of the original form is not on this desktop; DejaVu Sans is on
// every fresh machine and keeps three digits readable in an 18 x 16 cell.
const QString ViewFontFamily = QStringLiteral("DejaVu Sans");

// The views' metrics as the window declares them and as FormCreate sets them.
constexpr int DeclaredColumns = 39;
constexpr int DeclaredRows = 34;
constexpr int CreatedWidth = 590;
constexpr int CreatedHeight = 380;
constexpr int CreatedFontSize = 6;
constexpr int CreatedCellSize = 15;
// The views lie below the file-name box and header panel; the window's height is
// the views' height plus this top, the panel's height and a margin.
constexpr int ViewTop = 20;
constexpr int BottomMargin = 5;
constexpr int ViewSizeMargin = 5;
constexpr int InfoColumnWidth = 109;

const QString MapFilter = QStringLiteral("Map files (*.amp)");
const QString MapSuffix = QStringLiteral("amp");

QString text(std::string_view view) {
    return QString::fromLatin1(view.data(), static_cast<qsizetype>(view.size()));
}

// The hexes a map file holds whole records of (its header's columns and rows, as
// far as its records reach); 0 for a file that is not there or holds no map.
struct HeldHexes {
    int columns = 0;
    int rows = 0;
    int hexes = 0;
};
HeldHexes hexesInFile(const QString& fileName) {
    const auto bytes = amp::readMapFile(fileName);
    if (!bytes || bytes.value().size() < static_cast<std::size_t>(amp::HeaderSize)) {
        return {};
    }
    amp::MapHeader header;
    std::copy_n(bytes.value().begin(), amp::HeaderSize, header.bytes.begin());
    const auto records = static_cast<int>((bytes.value().size() - amp::HeaderSize) / amp::RecordSize);
    return {header.columns(), header.rows(), std::min(header.hexCount(), records)};
}

} // namespace

TfrmMapEd::TfrmMapEd(UserDialogs& dialogs, MapEditor& editor, const QStringList& arguments, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::TfrmMapEd>()), dialogs_(dialogs), editor_(editor),
      document_(editor.document()) {
    Q_INIT_RESOURCE(ampedit); // the resources live in this library, not in the program
    ui_->setupUi(this);
    // The icon's format is named: a resource name without a suffix would make Qt
    // load every image plugin and the MIME database to find it out.
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/MAINICON"), "PNG")));

    connect(ui_->btnOpenMap, &QPushButton::clicked, this, &TfrmMapEd::btnOpenMapClick);
    connect(ui_->btnSaveMap, &QPushButton::clicked, this, &TfrmMapEd::btnSaveMapClick);
    connect(ui_->btnMinus, &QPushButton::clicked, this, &TfrmMapEd::btnMinusClick);
    connect(ui_->btnPlus, &QPushButton::clicked, this, &TfrmMapEd::btnPlusClick);
    connect(ui_->chkLines, &QCheckBox::toggled, this, &TfrmMapEd::chkLinesClick);
    connect(ui_->chkLines, &QCheckBox::toggled, this, &TfrmMapEd::linesShownChanged);
    connect(ui_->Button1, &QPushButton::clicked, this, &TfrmMapEd::Button1Click);
    connect(&document_, &MapDocument::mapReset, this, &TfrmMapEd::showMap);
    connect(&document_, &MapDocument::cellsChanged, this, &TfrmMapEd::followHexInfo);
    connect(&document_, &MapDocument::headerChanged, this, &TfrmMapEd::refreshHeaderBoxes);
    // The file-name box names the file the map was last read from or written to.
    // It shows the name with the system's separators (backslashes on Windows).
    connect(&document_, &MapDocument::fileNameChanged, ui_->edtFileName,
            [this](const QString& name) { ui_->edtFileName->setText(QDir::toNativeSeparators(name)); });
    connect(&document_, &MapDocument::diskContentKnown, this, &TfrmMapEd::diskContentKnown);
    connect(&editor_, &MapEditor::layerChanged, this, &TfrmMapEd::showLayer);
    connect(&editor_, &MapEditor::currentHexChanged, this, &TfrmMapEd::followCurrentHex);

    FormCreate(arguments);
}

TfrmMapEd::~TfrmMapEd() {
    // Controls still send signals while they are torn down (the layer box, losing
    // the focus, reports a pick); by then this window no longer listens.
    for (QObject* child : findChildren<QObject*>()) {
        child->blockSignals(true);
    }
}

void TfrmMapEd::FormCreate(const QStringList& arguments) {
    try {
        // The terrain view stands for all 13 here: the others are made from its
        // settings when first needed.
        LayerView* view = ui_->grd1;
        layerGrids_[amp::TerrainLayer] = view;
        view->setVisible(false);
        view->setGeometry(0, 0, CreatedWidth, CreatedHeight);
        view->setFont(QFont(ViewFontFamily));
        view->setFontSize(CreatedFontSize);
        view->setDefaultColumnWidth(CreatedCellSize);
        view->setDefaultRowHeight(CreatedCellSize);
        document_.setBlankShape(DeclaredColumns, DeclaredRows);
        for (int i = 0; i < amp::LayerCount; ++i) {
            ui_->cmbLayerName->addItem(text(amp::LayerNames[static_cast<std::size_t>(i)]));
        }
        attachGrid(view, amp::TerrainLayer);
        {
            const QSignalBlocker quiet(ui_->cmbLayerName);
            ui_->cmbLayerName->setCurrentIndex(0);
        }
        refreshMetricBoxes();
        fitMapArea();
    } catch (...) {
        dialogs_.showMessage(this, QStringLiteral("Could not load or display bitmap"));
    }

    // A pick in the layer box, or a layer name typed into it, switches layers. The
    // box completes nothing by itself: it never names a layer that is not on show.
    ui_->cmbLayerName->setCompleter(nullptr);
    connect(ui_->cmbLayerName, &QComboBox::activated, this, &TfrmMapEd::cmbLayerNameChange);
    connect(ui_->cmbLayerName->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) {
        cmbLayerNameChange(ui_->cmbLayerName->findText(typed, Qt::MatchFixedString));
    });

    openFromArguments(arguments);
}

LayerView* TfrmMapEd::layerGrid(int layer) {
    const auto slot = static_cast<std::size_t>(std::clamp(layer, 0, amp::LayerCount - 1));
    if (!layerGrids_[slot]) {
        layerGrids_[slot] = makeGrid(static_cast<int>(slot));
    }
    return layerGrids_[slot];
}

const std::array<LayerView*, amp::LayerCount>& TfrmMapEd::LayerGrids() {
    for (int i = 0; i < amp::LayerCount; ++i) {
        layerGrid(i);
    }
    return layerGrids_;
}

// Every view carries the same settings (the form only ever changes them for all
// 13 at once), so a new view takes them from the terrain view. Made later than
// the terrain view, it lies in front of it, as the layer views always have.
LayerView* TfrmMapEd::makeGrid(int layer) {
    const LayerView* pattern = layerGrids_[amp::TerrainLayer];
    auto* view = new LayerView(ui_->mapArea);
    view->setObjectName(QStringLiteral("grd%1").arg(layer + 1));
    view->setVisible(false);
    view->setGeometry(pattern->geometry());
    view->setFont(pattern->font());
    view->setDefaultColumnWidth(pattern->defaultColumnWidth());
    view->setDefaultRowHeight(pattern->defaultRowHeight());
    view->setLinesShown(pattern->linesShown());
    attachGrid(view, layer);
    return view;
}

void TfrmMapEd::attachGrid(LayerView* view, int layer) {
    view->setLayerModel(document_.layer(layer));
    // [0][0] is the current cell from the start, chosen quietly: otherwise the
    // first focus on a view would pick it and name a terrain nobody selected.
    if (const QModelIndex first = view->model()->index(0, 0); first.isValid()) {
        const QSignalBlocker quiet(view->selectionModel());
        view->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    }
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, view](const QModelIndex& current) {
                if (current.isValid()) {
                    SelectCell(view, current.column(), current.row());
                    editor_.setCurrentHex(HexCell{current.column(), current.row()});
                    emit hexSelected(current.column(), current.row());
                }
            });
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmMapEd::gridSelectionChanged);
    connect(view, &LayerView::clearRequested, this,
            [this, layer](const QModelIndexList& cells) { clearCells(layer, cells); });
    connect(
        view, &LayerView::fillRequested, this,
        [this, layer](const QString& text, const QModelIndexList& cells) { fillCells(layer, cells, text); });
}

// The first argument is a file name; a short one (five characters or fewer) is
// not. On Windows it is lower-cased first, the letters A-Z only, as the form
// always did: file names there ignore case, so it still names the file. On
// other systems it is used exactly as given, as the lower-cased name would be
// another file. Edits already in the window are not dropped without a word.
void TfrmMapEd::openFromArguments(const QStringList& arguments) {
    QString argument = arguments.value(1);
#ifdef Q_OS_WIN
    for (QChar& letter : argument) {
        if (letter >= QLatin1Char('A') && letter <= QLatin1Char('Z')) {
            letter = QChar(letter.unicode() + ('a' - 'A'));
        }
    }
#endif
    if (argument.size() > 5 && mayDiscardEdits()) {
        LoadMap(argument);
    }
}

void TfrmMapEd::btnOpenMapClick() {
    if (!mayDiscardEdits()) {
        return;
    }
    const QDir gameData(QStringLiteral("GameData"));
    const FileDialogRequest request{QStringLiteral("Open Veldrock Map file"), MapFilter, MapSuffix,
                                    gameData.exists() ? gameData.absolutePath() : dialogFolder_};
    const QString fileName = dialogs_.openFileName(this, request);
    if (!fileName.isEmpty()) {
        LoadMap(fileName);
    }
}

void TfrmMapEd::LoadMap(const QString& fileName) {
    const DocumentResult read = editor_.open(fileName);
    switch (read.kind) {
    case DocumentResult::Kind::Done:
    case DocumentResult::Kind::Unchanged:
        return;
    case DocumentResult::Kind::CannotOpen:
        dialogs_.messageBox(this, QStringLiteral("AMP File Error"),
                            QDir::toNativeSeparators(fileName) + QStringLiteral("  Open unsuccessful."),
                            read.message);
        return;
    case DocumentResult::Kind::NotAMap:
        dialogs_.messageBox(this, QStringLiteral("File Error"),
                            QDir::toNativeSeparators(fileName) + QStringLiteral("  is not a map file."),
                            read.message);
        return;
    case DocumentResult::Kind::CannotRead:
        dialogs_.messageBox(this, QStringLiteral("File Error"),
                            QDir::toNativeSeparators(fileName) + QStringLiteral("  Read unsuccessful."),
                            read.message);
        return;
    default:
        dialogs_.messageBox(this, QStringLiteral("File Error"), QStringLiteral("Shit happends."));
        return;
    }
}

// Every view starts from empty cells, so nothing of an earlier map survives into
// this one.
void TfrmMapEd::showMap() {
    // No hex is selected in a new map, so Hex Info names none.
    if (hexInfoCell_) {
        hexInfoCell_.reset();
        ui_->edtTerrainType->clear();
    }
    ui_->edtLayerName->setText(text(amp::LayerNames[amp::TerrainLayer]));
    ui_->edtFileName->setText(QDir::toNativeSeparators(document_.fileName()));
    refreshHeaderBoxes();
    // [0][0] is the current cell from the start, chosen quietly (see attachGrid).
    forEachGrid([](LayerView* view) {
        const QSignalBlocker quiet(view->selectionModel());
        view->selectionModel()->setCurrentIndex(view->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    });
    // View 0 lies behind every other view, so a layer on show before the load stays
    // in front, as the layer number says.
    layerGrids_[amp::TerrainLayer]->setVisible(true);
    ApplyLineDisplay();
}

// The header boxes show the map's header bytes: read, made, or changed by a step
// (Map > Header Bytes, a script) or its undo.
void TfrmMapEd::refreshHeaderBoxes() {
    QLineEdit* headerBoxes[] = {ui_->Edit1, ui_->Edit2, ui_->Edit3, ui_->Edit4,
                                ui_->Edit5, ui_->Edit6, ui_->Edit7};
    for (int i = 0; i < amp::HeaderSize; ++i) {
        headerBoxes[i]->setText(QString::number(document_.header().bytes[static_cast<std::size_t>(i)]));
    }
}

void TfrmMapEd::newMap() {
    int columns = std::max(MapColumns(), 1);
    int rows = std::max(MapRows(), 1);
    if (mayDiscardEdits() && dialogs_.askMapSize(this, columns, rows)) {
        editor_.newMap(columns, rows);
    }
}

bool TfrmMapEd::btnSaveMapClick() {
    // The dialog proposes the file the map came from, so writing it again is one Enter.
    const FileDialogRequest request{QStringLiteral("Write Map file"), MapFilter, MapSuffix,
                                    document_.fileName().isEmpty() ? dialogFolder_ : document_.fileName()};
    const QString fileName = dialogs_.saveFileName(this, request);
    return !fileName.isEmpty() && WriteMap(fileName);
}

// The sample shipped with the program is never written over unasked (a
// per-user installation can write its folder): its first write asks for a name.
bool TfrmMapEd::writeToCurrentFile() {
    const QString fileName = document_.fileName();
    return fileName.isEmpty() || namesSameFile(fileName, scriptfolders::sampleMap()) ? btnSaveMapClick()
                                                                                     : WriteMap(fileName);
}

bool TfrmMapEd::WriteMap(const QString& fileName) {
    commitPendingEdits();
    // A merge with conflicts left would be written with ours there, unsettled:
    // the user says so first.
    if (const MapMerge* merge = editor_.merge(); merge && merge->leftCount() > 0) {
        if (!dialogs_.askYesNo(this, tr("Conflicts Left"),
                               tr("%1: those cells hold ours, as the merge left them. Write the map "
                                  "with them unsettled?")
                                   .arg(merge->countText()))) {
            return false;
        }
    }
    // A map of no hexes written over a file that holds some would wipe them out:
    // the user says so first.
    if (document_.header().hexCount() == 0) {
        const HeldHexes held = hexesInFile(fileName);
        if (held.hexes > 0 &&
            !dialogs_.askYesNo(
                this, tr("Replace a Map"),
                tr("%1 holds %2 hexes, of a map of %3 columns and %4 rows. The map in the window has "
                   "no hexes: writing it there leaves the file with none of them.\n\nReplace %1 with a "
                   "map of no hexes?")
                    .arg(QDir::toNativeSeparators(fileName), QLocale(QLocale::English).toString(held.hexes))
                    .arg(held.columns)
                    .arg(held.rows))) {
            return false;
        }
    }
    const DocumentResult written = editor_.write(fileName);
    switch (written.kind) {
    case DocumentResult::Kind::Done:
    case DocumentResult::Kind::Unchanged:
        if (!written.note.isEmpty()) {
            dialogs_.inform(this, QStringLiteral("Write Map"), written.note);
        }
        return true;
    case DocumentResult::Kind::CannotOpen:
        dialogs_.messageBox(this, QStringLiteral("AMP File Error"), QStringLiteral("Open unsuccessful."),
                            written.message);
        return false;
    case DocumentResult::Kind::CannotWrite:
        dialogs_.messageBox(this, QStringLiteral("File Error"),
                            QStringLiteral("Write unsuccessful. The map was not written; a file that "
                                           "stood at that name is as it was."),
                            written.message);
        return false;
    default:
        dialogs_.messageBox(this, QStringLiteral("File Error"), QStringLiteral("Shit happends."));
        return false;
    }
}

void TfrmMapEd::ApplyLineDisplay() {
    const bool lines = ui_->chkLines->isChecked();
    forEachGrid([&](LayerView* view) {
        view->setLinesShown(lines);
        const int fontSize = view->fontSize();
        view->setDefaultColumnWidth(3 * fontSize);
        view->setDefaultRowHeight(2 * fontSize + 4);
        const int line = lines ? 1 : 0;
        view->resize(MapColumns() * (view->defaultColumnWidth() + line) + ViewSizeMargin,
                     MapRows() * (view->defaultRowHeight() + line) + ViewSizeMargin);
        view->viewport()->update();
    });
    document_.setBlankShape(MapColumns(), MapRows());
    refreshMetricBoxes();
    fitMapArea();

    // The height the views ask for, but never so low that "Write Map" is cut off and never
    // taller than the screen: a larger map scrolls.
    const LayerView* first = layerGrids_[0];
    const int wanted = first->height() + ViewTop + ui_->Panel1->height() + BottomMargin;
    int highest = wanted;
    if (const QScreen* display = screen()) {
        const int frame = frameGeometry().height() - geometry().height();
        highest = display->availableGeometry().height() - std::max(frame, 0);
    }
    const int lowest = minimumClientHeight();
    const int height = std::max(lowest, std::min(wanted, highest));
    resize(width(), height);
    emit clientHeightChanged(height);
}

int TfrmMapEd::minimumClientHeight() const {
    return ui_->btnSaveMap->geometry().bottom() + 1 + BottomMargin;
}

int TfrmMapEd::minimumClientWidth() const {
    return ui_->Panel1->geometry().right() + 1 + InfoColumnWidth;
}

void TfrmMapEd::chkLinesClick() {
    ApplyLineDisplay();
}

void TfrmMapEd::Button1Click() {
    ApplyGridMetrics();
}

void TfrmMapEd::ApplyGridMetrics() {
    const auto boxValue = [](const QLineEdit* box) { return LayerModel::textValue(box->text()); };
    forEachGrid([&](LayerView* view) {
        // A size below 0 is 0; anything larger than a widget may be is cut to that.
        view->resize(std::clamp(boxValue(ui_->Edit8), 0, QWIDGETSIZE_MAX),
                     std::clamp(boxValue(ui_->Edit9), 0, QWIDGETSIZE_MAX));
        view->setFontSize(boxValue(ui_->Edit10));
        view->setDefaultColumnWidth(boxValue(ui_->Edit11));
        view->setDefaultRowHeight(boxValue(ui_->Edit12));
        view->viewport()->update();
    });
    fitMapArea();
}

void TfrmMapEd::refreshMetricBoxes() {
    const LayerView* first = layerGrids_[0];
    ui_->Edit8->setText(QString::number(first->width()));
    ui_->Edit9->setText(QString::number(first->height()));
    ui_->Edit10->setText(QString::number(first->fontSize()));
    ui_->Edit11->setText(QString::number(first->defaultColumnWidth()));
    ui_->Edit12->setText(QString::number(first->defaultRowHeight()));
}

// The scroll area's content is as large as the largest view on show; with none on
// show (no map yet) there is nothing to scroll.
void TfrmMapEd::fitMapArea() {
    int width = 0;
    int height = 0;
    forEachGrid([&](const LayerView* view) {
        if (!view->isHidden()) {
            width = std::max(width, view->width());
            height = std::max(height, view->height());
        }
    });
    ui_->mapArea->resize(width, height);
}

void TfrmMapEd::btnMinusClick() {
    ui_->edtTerrainType->clear();
    hexInfoCell_.reset();
    stepLayer(-1);
}

void TfrmMapEd::btnPlusClick() {
    ui_->edtTerrainType->clear();
    hexInfoCell_.reset();
    stepLayer(+1);
}

// One step past either end comes round to the other end.
void TfrmMapEd::stepLayer(int step) {
    int layer = editor_.layer() + step;
    if (layer < 0) {
        layer = amp::LayerCount - 1;
    } else if (layer > amp::LayerCount - 1) {
        layer = 0;
    }
    chooseLayer(layer);
    ui_->edtLayerName->setText(text(amp::LayerNames[static_cast<std::size_t>(layer)]));
    const QSignalBlocker quiet(ui_->cmbLayerName); // a selection by the program is no user's pick
    ui_->cmbLayerName->setCurrentIndex(layer);
}

void TfrmMapEd::chooseLayer(int layer) {
    if (layer == editor_.layer()) {
        showLayer(layer);
    } else {
        editor_.setLayer(layer); // the form follows the session's layerChanged
    }
}

// The view's current cell moves there (and names its terrain); when it is there
// already, as after a map read again, Hex Info names what lies there now.
void TfrmMapEd::followCurrentHex(int column, int row) {
    if (column < 0) {
        return;
    }
    LayerView* view = currentGrid();
    if (view->currentIndex() != view->model()->index(row, column)) {
        selectHex(column, row);
    } else {
        SelectCell(view, column, row);
    }
}

// A text in the box that names no layer (index -1) changes nothing: the layer on
// show stays, and so does what was typed.
void TfrmMapEd::cmbLayerNameChange(int index) {
    if (index < 0 || index >= amp::LayerCount) {
        return;
    }
    chooseLayer(index);
}

// The focus goes along to the view on show: hidden with the focus, a view would
// hand it on as Tab does, to its next cell, picking a hex nobody chose.
void TfrmMapEd::showLayer(int layer) {
    LayerView* shown = layerGrid(layer);
    bool focused = false;
    forEachGrid([&focused](const LayerView* view) { focused = focused || view->hasFocus(); });
    shown->setVisible(true);
    if (focused) {
        shown->setFocus(Qt::OtherFocusReason);
    }
    forEachGrid([shown](LayerView* view) { view->setVisible(view == shown); });
    fitMapArea(); // the area is as large as the view now on show
    ui_->edtLevel->setText(QString::number(layer));
    emit layerShown(layer);
}

// Names the terrain of the cell about to be selected, on the terrain layer only. A
// value without a name (below 0 or above 18) empties the box.
void TfrmMapEd::SelectCell(LayerView* sender, int column, int row) {
    const std::int32_t value = sender->layerModel()->cellValue(column, row);
    if (editor_.layer() == amp::TerrainLayer) {
        ui_->edtTerrainType->setText(text(amp::terrainName(value)));
        hexInfoCell_ = QPoint(column, row);
    }
}

// Whatever changes the terrain of the hex Hex Info names (a fill, a replace, a
// paste, an undo, a script) changes the name with it, on any layer on show.
void TfrmMapEd::followHexInfo(int layer, const QRect& cells) {
    if (layer == amp::TerrainLayer && hexInfoCell_ && cells.contains(*hexInfoCell_)) {
        const LayerModel* terrain = document_.layer(amp::TerrainLayer);
        ui_->edtTerrainType->setText(
            text(amp::terrainName(terrain->cellValue(hexInfoCell_->x(), hexInfoCell_->y()))));
    }
}

void TfrmMapEd::refreshHexInfo() {
    LayerView* view = currentGrid();
    const QModelIndex current = view->currentIndex();
    if (current.isValid()) {
        SelectCell(view, current.column(), current.row());
    } else {
        ui_->edtTerrainType->clear();
        hexInfoCell_.reset();
    }
}

// What the user is typing counts, even before the cell is left.
void TfrmMapEd::commitPendingEdits() {
    forEachGrid([](LayerView* view) { view->commitPendingEdit(); });
}

// Nothing typed is lost without a word: reading another map or closing the window
// over unwritten edits asks first, and "Save" goes on only when the write worked.
bool TfrmMapEd::mayDiscardEdits() {
    commitPendingEdits();
    if (!editor_.hasUnwrittenEdits()) {
        return true;
    }
    // With several maps open, the question says which one it is about, by its
    // whole path: two maps of one name may be open from two folders.
    const QString fileName = document_.fileName();
    const QString question = fileName.isEmpty()
                                 ? tr("The new map has changes that were not written. Write them first?")
                                 : tr("The map \"%1\" has changes that were not written. Write them first?")
                                       .arg(QDir::toNativeSeparators(wholePath(fileName)));
    switch (dialogs_.askUnwritten(this, tr("Unwritten changes"), question)) {
    case UnwrittenChoice::Save:
        return writeToCurrentFile();
    case UnwrittenChoice::Discard:
        return true;
    case UnwrittenChoice::Cancel:
        break;
    }
    return false;
}

void TfrmMapEd::setCells(int layer, const QModelIndexList& cells, const QString& text, const QString& name) {
    std::vector<QPoint> points;
    points.reserve(static_cast<std::size_t>(cells.size()));
    for (const QModelIndex& cell : cells) {
        points.emplace_back(cell.column(), cell.row());
    }
    celledits::fill(document_, layer, points, text, name);
}

// Delete and Backspace: every chosen cell becomes "0", in one undo step.
void TfrmMapEd::clearCells(int layer, const QModelIndexList& cells) {
    const QString name = cells.size() == 1
                             ? tr("Delete in hex %1,%2").arg(cells.front().column()).arg(cells.front().row())
                             : tr("Delete %1").arg(MapDocument::hexesText(cells.size()));
    setCells(layer, cells, LayerModel::canonicalText(0), name);
}

void TfrmMapEd::fillCells(int layer, const QModelIndexList& cells, const QString& text) {
    setCells(layer, cells, text, tr("Fill %1").arg(MapDocument::hexesText(cells.size())));
}

void TfrmMapEd::selectHex(int column, int row) {
    LayerView* view = currentGrid();
    const QModelIndex cell = view->model()->index(row, column);
    if (!cell.isValid()) {
        return;
    }
    view->setCurrentIndex(cell);
    const QRect rect = view->visualRect(cell).translated(view->pos());
    ui_->mapScroller->ensureVisible(rect.center().x(), rect.center().y(), rect.width(), rect.height());
}

const amp::MapHeader& TfrmMapEd::MapHeader() const {
    return document_.header();
}
int TfrmMapEd::MapColumns() const {
    return document_.columns();
}
int TfrmMapEd::MapRows() const {
    return document_.rows();
}
bool TfrmMapEd::hasUnwrittenEdits() const {
    return editor_.hasUnwrittenEdits();
}
bool TfrmMapEd::linesShown() const {
    return ui_->chkLines->isChecked();
}
void TfrmMapEd::setLinesShown(bool shown) {
    ui_->chkLines->setChecked(shown);
}

void TfrmMapEd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ui_->pnlInfo->setGeometry(width() - InfoColumnWidth, 0, InfoColumnWidth, height());
    ui_->mapScroller->setGeometry(0, ViewTop, width() - InfoColumnWidth, height() - ViewTop);
}
