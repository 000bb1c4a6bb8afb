// SPDX-License-Identifier: MIT
// Is this map fair, in the window: the ruler dragged over the picture and its
// words on the status line, a cost table chosen from the menu (a bad one
// refused), territories of the selected hexes, and the Statistics dock's counts
// of a literal map, whose clicks select the hexes counted. Expected figures are
// counted on paper in the comments.
#include "actiontable.h"
#include "fairnesstools.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "scriptfolders.h"
#include "statisticsdock.h"
#include "windowfixture.h"

#include <QMenu>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>

namespace {

constexpr std::uint8_t Forest = 3;
constexpr std::uint8_t Ocean = 6;

// A map file: every hex of `terrain`, then the bytes set by (column, row, layer, value).
struct Set {
    int column, row, layer;
    std::uint8_t value;
};
std::vector<std::uint8_t> mapFile(int columns, int rows, std::uint8_t terrain, const std::vector<Set>& set) {
    std::vector<std::uint8_t> bytes = {
        0x2A, 0x00, static_cast<std::uint8_t>(columns), 0x00, static_cast<std::uint8_t>(rows), 0x00, 0x05};
    for (int k = 0; k < columns * rows; ++k) {
        std::uint8_t record[amp::RecordSize] = {terrain};
        bytes.insert(bytes.end(), std::begin(record), std::end(record));
    }
    for (const Set& s : set) {
        bytes[amp::HeaderSize +
              static_cast<std::size_t>((s.column * rows + s.row) * amp::RecordSize + s.layer)] = s.value;
    }
    return bytes;
}

void writeText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(text), text.size());
}

// Picks a cost table by its name in Map > Cost Table, as the user would.
bool pickCostTable(WindowFixture& f, const QString& name) {
    QMenu* menu = f.main->actions().menu(QStringLiteral("map.costTable"));
    emit menu->aboutToShow();
    for (QAction* item : menu->actions()) {
        if (item->text() == name) {
            item->trigger();
            return true;
        }
    }
    return false;
}

HexMapView* preparedPicture(WindowFixture& f) {
    HexMapView* picture = f.main->mapPanel().view();
    picture->resize(400, 300);
    picture->fitMap();
    return picture;
}

QPoint centreOf(HexMapView* picture, int column, int row) {
    return (picture->geometryNow().centre(column, row) + picture->origin()).toPoint();
}

// The counts' texts by row title and column title.
QString countAt(StatisticsDock& dock, const QString& row, const QString& column) {
    QTableWidget* table = dock.counts();
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            if (table->verticalHeaderItem(r)->text() == row &&
                table->horizontalHeaderItem(c)->text() == column) {
                return table->item(r, c)->text();
            }
        }
    }
    return QStringLiteral("<no %1 / %2>").arg(row, column);
}

bool clickCount(StatisticsDock& dock, const QString& row, const QString& column) {
    QTableWidget* table = dock.counts();
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            if (table->verticalHeaderItem(r)->text() == row &&
                table->horizontalHeaderItem(c)->text() == column) {
                const QRect cell = table->visualRect(table->model()->index(r, c));
                table->scrollTo(table->model()->index(r, c));
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                                  table->visualRect(table->model()->index(r, c)).center());
                return cell.isValid();
            }
        }
    }
    return false;
}

// The selected hexes as (column, row), in the cell rule's order.
QList<QPoint> selectedHexes(WindowFixture& f) {
    QList<QPoint> hexes;
    const std::vector<bool> mask = f.main->editor().selection().mask();
    const int rows = f.document().rows();
    for (std::size_t slot = 0; slot < mask.size(); ++slot) {
        if (mask[slot]) {
            hexes << QPoint(static_cast<int>(slot) / rows, static_cast<int>(slot) % rows);
        }
    }
    return hexes;
}

} // namespace

class TestFairness : public QObject {
    Q_OBJECT

private slots:
    void rulerSaysDistanceAndPathCost();
    void badCostTableIsRefused();
    void territoriesOfSelectedHexes();
    void statisticsOfALiteralMap();
};

// Forest everywhere (cost 3), the bottom of three rows a road (0.5 whatever its
// terrain); odd columns lie half a hex lower. (0,0) to (5,0) is 5 steps. The
// cheapest way: (0,1) forest 3, along the road (0,2) (1,2) (2,2) (3,2) (4,2) at
// 0.5 each, then (4,1) or (5,1) forest 3 and the goal (5,0) forest 3: 11.5;
// straight through the forest would be 15, and the start is free.
void TestFairness::rulerSaysDistanceAndPathCost() {
    WindowFixture f;
    std::vector<Set> road;
    for (int column = 0; column < 6; ++column) {
        road.push_back({column, 2, amp::RoadsLayer, 1});
    }
    const QString map = f.write(QStringLiteral("road.amp"), mapFile(6, 3, Forest, road));
    f.open({QStringLiteral("ampedit"), map});
    writeText(QDir(scriptfolders::userCostTables()).filePath(QStringLiteral("infantry.json")),
              R"({"road": 0.5, "costs": {"Forest": 3, "Ocean": null}})");
    HexMapView* picture = preparedPicture(f);
    // M in the picture takes the ruler, and the tool buttons show it.
    QToolButton* select = nullptr;
    QToolButton* ruler = nullptr;
    for (QToolButton* button : f.main->mapPanel().findChildren<QToolButton*>()) {
        (button->text() == QStringLiteral("Select")  ? select
         : button->text() == QStringLiteral("Ruler") ? ruler
                                                     : button) = button;
    }
    QVERIFY(select && ruler);
    QTest::mouseClick(select, Qt::LeftButton); // the keys go to the picture
    QVERIFY(picture->hasFocus());
    f.press(QKeySequence(Qt::Key_M));
    QCOMPARE(picture->tool(), HexMapView::Tool::Ruler);
    QVERIFY(ruler->isChecked());
    const QImage before = picture->grab().toImage();

    QTest::mousePress(picture, Qt::LeftButton, {}, centreOf(picture, 0, 0));
    QTest::mouseMove(picture, centreOf(picture, 3, 1));
    QTest::mouseMove(picture, centreOf(picture, 5, 0));
    QTest::mouseRelease(picture, Qt::LeftButton, {}, centreOf(picture, 5, 0));
    QCOMPARE(f.main->statusBar()->currentMessage(), QStringLiteral("5 hexes")); // no table yet: no path

    QVERIFY(pickCostTable(f, QStringLiteral("infantry")));
    QCOMPARE(f.main->statusBar()->currentMessage(), QStringLiteral("5 hexes · path cost 11.5 (infantry)"));
    // The ruler and its path are drawn over the picture.
    QVERIFY(picture->grab().toImage() != before);

    // Ocean on the goal's three neighbours (4,0), (4,1), (5,1): no way in.
    for (const QPoint hex : {QPoint(4, 0), QPoint(4, 1), QPoint(5, 1)}) {
        QVERIFY(f.document().typeIntoCell(amp::TerrainLayer, hex.x(), hex.y(), QString::number(Ocean)));
    }
    QTRY_COMPARE(f.main->statusBar()->currentMessage(),
                 QStringLiteral("5 hexes · no way through (infantry)"));

    // Esc takes the ruler away, and the status line with it.
    QTest::keyClick(picture, Qt::Key_Escape);
    QCOMPARE(f.main->statusBar()->currentMessage(), QString());
    QVERIFY(!f.main->editor().fairness().ruler());
}

void TestFairness::badCostTableIsRefused() {
    WindowFixture f;
    const QString map = f.write(QStringLiteral("plain.amp"), mapFile(4, 4, 0, {}));
    f.open({QStringLiteral("ampedit"), map});
    const QString folder = scriptfolders::userCostTables();
    writeText(QDir(folder).filePath(QStringLiteral("good.json")), R"({"costs": {"Clear": 2}})");
    writeText(QDir(folder).filePath(QStringLiteral("typo.json")), R"({"costs": {"Forst": 2}})");
    QVERIFY(pickCostTable(f, QStringLiteral("good")));
    QVERIFY(pickCostTable(f, QStringLiteral("typo")));
    QCOMPARE(f.dialogs.plainMessages.size(), 1);
    QVERIFY2(f.dialogs.plainMessages.front().contains(QStringLiteral("Forst")),
             qPrintable(f.dialogs.plainMessages.front()));
    // The table in use stays, and the menu still checks it.
    QCOMPARE(f.main->editor().fairness().costTableName(), QStringLiteral("good"));
    QMenu* menu = f.main->actions().menu(QStringLiteral("map.costTable"));
    emit menu->aboutToShow();
    QStringList checked;
    for (const QAction* item : menu->actions()) {
        if (item->isChecked()) {
            checked << item->text();
        }
    }
    QCOMPARE(checked, QStringList{QStringLiteral("good")});
}

// One row of five hexes: each hex's neighbours are the hexes beside it. Starts
// (0,0) and (4,0), every step 1: two hexes each, (2,0) contested. With forest
// at (1,0) costing 3, (2,0) lies 4 from the first start and 2 from the second:
// 2 and 3 hexes.
void TestFairness::territoriesOfSelectedHexes() {
    WindowFixture f;
    const QString map =
        f.write(QStringLiteral("line.amp"), mapFile(5, 1, 0, {{1, 0, amp::TerrainLayer, Forest}}));
    f.open({QStringLiteral("ampedit"), map});
    writeText(QDir(scriptfolders::userCostTables()).filePath(QStringLiteral("slow.json")),
              R"({"costs": {"Forest": 3}})");
    StatisticsDock& dock = f.main->statistics();
    dock.show();
    // One start is no contest.
    f.main->editor().selection().select(0, {QRect(0, 0, 1, 1)});
    f.main->actions().action(QStringLiteral("map.territories.selection"))->trigger();
    QCOMPARE(f.dialogs.plainMessages.size(), 1);
    QVERIFY(!f.main->editor().fairness().hasTerritories());

    f.main->editor().selection().select(0, {QRect(0, 0, 1, 1), QRect(4, 0, 1, 1)});
    f.main->actions().action(QStringLiteral("map.territories.selection"))->trigger();
    dock.refresh();
    QCOMPARE(countAt(dock, QStringLiteral("Hexes"), QStringLiteral("Territory 1")), QStringLiteral("2"));
    QCOMPARE(countAt(dock, QStringLiteral("Hexes"), QStringLiteral("Territory 2")), QStringLiteral("2"));
    QCOMPARE(countAt(dock, QStringLiteral("Forest (3)"), QStringLiteral("Territory 1")),
             QStringLiteral("1 (50.0%)"));

    QVERIFY(pickCostTable(f, QStringLiteral("slow")));
    dock.refresh();
    QCOMPARE(countAt(dock, QStringLiteral("Hexes"), QStringLiteral("Territory 1")), QStringLiteral("2"));
    QCOMPARE(countAt(dock, QStringLiteral("Hexes"), QStringLiteral("Territory 2")), QStringLiteral("3"));
    QCOMPARE(countAt(dock, QStringLiteral("Hexes"), QStringLiteral("Territory 1 − Territory 2")),
             QStringLiteral("−1"));
    // Clicking the second side's count selects its hexes.
    QVERIFY(clickCount(dock, QStringLiteral("Hexes"), QStringLiteral("Territory 2")));
    QCOMPARE(selectedHexes(f), (QList<QPoint>{{2, 0}, {3, 0}, {4, 0}}));

    // The overlay is drawn while territories are on show, and gone when hidden.
    HexMapView* picture = preparedPicture(f);
    const QImage shown = picture->grab().toImage();
    f.main->actions().action(QStringLiteral("map.territories.hide"))->trigger();
    QVERIFY(!f.main->editor().fairness().hasTerritories());
    QVERIFY(picture->grab().toImage() != shown);
}

// Four columns of two rows, hexes in the file's order (column by column):
//   slot     0    1    2    3    4    5    6    7
//   terrain  0    3    3    6    0    0    81   3     (Clear, Forest, Ocean, 81)
//   city     -   b1=5  -    -    -    -   b2=2  -
//   roads    -    -    1    1    -    -    -    -
//   height  10   20   30   40   50   60   70   80
// The whole map: 8 hexes, Clear 3 and Forest 3 (37.5%), Ocean and 81 1 each
// (12.5%), 2 cities, 2 road hexes, heights 10 / 45 / 80. The left half (columns
// 0-1, slots 0-3): Clear 1, Forest 2, Ocean 1, 1 city, 2 roads, heights 10 / 25
// / 40; the right (slots 4-7): Clear 2, Forest 1, 81 1, 1 city, no road, heights
// 50 / 65 / 80.
void TestFairness::statisticsOfALiteralMap() {
    WindowFixture f;
    std::vector<Set> bytes = {
        {0, 1, amp::TerrainLayer, 3},  {1, 0, amp::TerrainLayer, 3}, {1, 1, amp::TerrainLayer, 6},
        {3, 0, amp::TerrainLayer, 81}, {3, 1, amp::TerrainLayer, 3}, {0, 1, amp::CityLayer1, 5},
        {3, 0, amp::CityLayer2, 2},    {1, 0, amp::RoadsLayer, 1},   {1, 1, amp::RoadsLayer, 1}};
    for (int slot = 0; slot < 8; ++slot) {
        bytes.push_back({slot / 2, slot % 2, amp::HeightLayer, static_cast<std::uint8_t>(10 * (slot + 1))});
    }
    const QString map = f.write(QStringLiteral("literal.amp"), mapFile(4, 2, 0, bytes));
    f.open({QStringLiteral("ampedit"), map});
    StatisticsDock& dock = f.main->statistics();
    f.main->actions().action(QStringLiteral("map.statistics"))->trigger();
    QVERIFY(dock.isVisible());
    dock.refresh();
    const QString Map = QStringLiteral("Map"), Left = QStringLiteral("Left"), Right = QStringLiteral("Right"),
                  Difference = QStringLiteral("Left − Right");
    const struct {
        const char* row;
        const char* map;
        const char* left;
        const char* right;
        const char* difference;
    } expected[] = {
        {"Hexes", "8", "4", "4", "0"},
        {"Clear (0)", "3 (37.5%)", "1 (25.0%)", "2 (50.0%)", "−1"},
        {"Forest (3)", "3 (37.5%)", "2 (50.0%)", "1 (25.0%)", "+1"},
        {"Ocean (6)", "1 (12.5%)", "1 (25.0%)", "0 (0.0%)", "+1"},
        {"Terrain 81", "1 (12.5%)", "0 (0.0%)", "1 (25.0%)", "−1"},
        {"Cities", "2", "1", "1", "0"},
        {"Road hexes", "2", "2", "0", "+2"},
        {"Height b1 lowest", "10", "10", "50", "−40"},
        {"Height b1 mean", "45.00", "25.00", "65.00", "−40.00"},
        {"Height b1 highest", "80", "40", "80", "−40"},
    };
    for (const auto& row : expected) {
        const QString name = QString::fromUtf8(row.row);
        QCOMPARE(countAt(dock, name, Map), QString::fromUtf8(row.map));
        QCOMPARE(countAt(dock, name, Left), QString::fromUtf8(row.left));
        QCOMPARE(countAt(dock, name, Right), QString::fromUtf8(row.right));
        QCOMPARE(countAt(dock, name, Difference), QString::fromUtf8(row.difference));
    }
    QCOMPARE(dock.counts()->rowCount(), 10); // no terrain the map lacks
    // Layer 1 is 0 everywhere: its own image under any flip.
    QCOMPARE(dock.symmetry()->item(1, 0)->text(), QStringLiteral("100.0%"));

    // Clicks select exactly the hexes counted: Forest on the map (slots 1, 2, 7),
    // cities on the right (slot 6).
    QVERIFY(clickCount(dock, QStringLiteral("Forest (3)"), Map));
    QCOMPARE(selectedHexes(f), (QList<QPoint>{{0, 1}, {1, 0}, {3, 1}}));
    dock.refresh(); // a Selection column comes in, the others stay named
    QCOMPARE(countAt(dock, QStringLiteral("Forest (3)"), QStringLiteral("Selection")),
             QStringLiteral("3 (100.0%)"));
    QVERIFY(clickCount(dock, QStringLiteral("Cities"), Right));
    QCOMPARE(selectedHexes(f), (QList<QPoint>{{3, 0}}));

    // Top and bottom: rows 0 and 1 are the halves. Top: slots 0,2,4,6 hold
    // Clear, Forest, Clear, 81.
    dock.halves()->setCurrentIndex(1);
    dock.refresh();
    QCOMPARE(countAt(dock, QStringLiteral("Clear (0)"), QStringLiteral("Top")), QStringLiteral("2 (50.0%)"));
    QCOMPARE(countAt(dock, QStringLiteral("Terrain 81"), QStringLiteral("Bottom")),
             QStringLiteral("0 (0.0%)"));

    // An edit is counted once the map is quiet: a fourth Forest.
    QVERIFY(f.document().typeIntoCell(amp::TerrainLayer, 0, 0, QString::number(Forest)));
    QTRY_COMPARE(countAt(dock, QStringLiteral("Forest (3)"), Map), QStringLiteral("4 (50.0%)"));
}

QTEST_MAIN(TestFairness)
#include "tst_fairness.moc"
