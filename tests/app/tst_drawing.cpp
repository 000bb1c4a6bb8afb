// SPDX-License-Identifier: MIT
// What the layer views draw: the zero marker, readable numbers, and the metric
// boxes applied to all 13 views. Checked on the pixels of a rendered view.
#include "layerdelegate.h"
#include "windowfixture.h"

#include <QImage>

namespace {

const QColor Teal(0, 128, 128);
const QColor Black(0, 0, 0);

bool isTeal(QRgb pixel) {
    return QColor(pixel) == Teal;
}

} // namespace

class DrawingTest : public QObject {
    Q_OBJECT

private slots:
    void eachCellShowsTheMarkerOrItsNumber();
    void aSelectedZeroCellKeepsTheSelectionColour();
    void theOctagonStaysInsideCellsSmallerThanItself();
    void metricBoxesApplyToEveryView();
    void unusableMetricsAreClampedAndShowLinesRestoresTheViews();

private:
    // Loads the 10 x 8 map, puts `text` into cell [2][3] of `layer` and shows that
    // layer; returns the rendered view and the cell's rectangle in it.
    static QImage render(WindowFixture& f, int layer, const QString& text, QRect* cell) {
        f.openOn("ten.amp", patternFile(TenByEight, 80));
        for (int i = 0; i < layer; ++i) {
            f.click("btnPlus");
        }
        f.document().typeIntoCell(layer, 2, 3, text);
        *cell = f.view(layer)->visualRect(f.view(layer)->model()->index(3, 2));
        return f.view(layer)->viewport()->grab().toImage();
    }
    static QColor at(const QImage& image, const QRect& cell, int x, int y) {
        return image.pixelColor(cell.left() + x, cell.top() + y);
    }
};

void DrawingTest::eachCellShowsTheMarkerOrItsNumber() {
    // One window, every case in a cell of its own: texts that read as 0, then numbers.
    const QStringList zeros = {"0", "", "abc", "-0", "000"};
    const QStringList numbers = {"1", "255", "-1", "188", "256"};
    WindowFixture f;
    QRect unused;
    render(f, 0, "1", &unused);
    const QStringList texts = zeros + numbers;
    for (int i = 0; i < texts.size(); ++i) {
        f.document().typeIntoCell(0, i, 5, texts[i]);
    }
    const QImage image = f.view(0)->viewport()->grab().toImage();
    const QColor base = f.view(0)->palette().color(QPalette::Base);
    for (int i = 0; i < texts.size(); ++i) {
        const QString& text = texts[i];
        const QRect cell = f.view(0)->visualRect(f.model(0)->index(5, i));
        QCOMPARE(cell.size(), QSize(18, 16));
        if (zeros.contains(text)) {
            QCOMPARE(at(image, cell, 7, 7), Teal);   // the octagon's centre
            QCOMPARE(at(image, cell, 0, 12), Black); // the frame: left edge below the octagon,
            QCOMPARE(at(image, cell, 16, 0), Black); // top edge beside it,
            QCOMPARE(at(image, cell, 17, 8), Black); // right and bottom one pixel inside the bounds
            QCOMPARE(at(image, cell, 8, 15), Black);
            QVERIFY(!isTeal(image.pixel(cell.left(), cell.top()))); // the cut corner
            for (int y = 1; y < 15; ++y) {
                QCOMPARE(at(image, cell, 16, y), base); // no text beside the octagon
            }
            continue;
        }
        int left = cell.width(), right = -1;
        for (int y = 0; y < cell.height(); ++y) {
            for (int x = 0; x < cell.width(); ++x) {
                const QRgb pixel = image.pixel(cell.left() + x, cell.top() + y);
                QVERIFY2(!isTeal(pixel), qPrintable("no marker on " + text));
                if (qGray(pixel) < 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        QVERIFY2(right > 0, qPrintable("the number is drawn: " + text));
        QVERIFY2(right < cell.width() - 1, "the number ends inside the cell, not cut at its edge");
        if (text.size() == 3 && text[0] != QLatin1Char('-')) {
            QVERIFY2(right - left >= 11, "three digits take their full width");
        }
        QCOMPARE(at(image, cell, 0, 0), base); // no frame
    }
}

void DrawingTest::aSelectedZeroCellKeepsTheSelectionColour() {
    WindowFixture f;
    QRect cell;
    render(f, 0, "0", &cell);
    f.clickCell(f.view(0), 2, 3);
    const QImage image = f.view(0)->viewport()->grab().toImage();
    const QColor highlight = f.view(0)->palette().color(QPalette::Active, QPalette::Highlight);
    QVERIFY(highlight != QColor(Qt::white));
    QCOMPARE(at(image, cell, 16, 4), highlight);
    QCOMPARE(at(image, cell, 7, 7), Teal);
    QCOMPARE(at(image, cell, 0, 12), Black);
}

void DrawingTest::theOctagonStaysInsideCellsSmallerThanItself() {
    WindowFixture f;
    QRect cell;
    render(f, 0, "0", &cell);
    f.document().typeIntoCell(0, 3, 3, "9"); // the neighbour to the right, and below
    f.document().typeIntoCell(0, 2, 4, "9");
    f.control<QLineEdit>("Edit11")->setText("8");
    f.control<QLineEdit>("Edit12")->setText("9");
    f.control<QPushButton>("Button1")->click();
    LayerView* view = f.view(0);
    cell = view->visualRect(view->model()->index(3, 2));
    QCOMPARE(cell.size(), QSize(8, 9));
    const QImage image = view->viewport()->grab().toImage();
    QCOMPARE(at(image, cell, 5, 5), Teal);
    for (const QRect& neighbour :
         {view->visualRect(view->model()->index(3, 3)), view->visualRect(view->model()->index(4, 2))}) {
        for (int y = neighbour.top(); y <= neighbour.bottom(); ++y) {
            for (int x = neighbour.left(); x <= neighbour.right(); ++x) {
                QVERIFY2(!isTeal(image.pixel(x, y)), "the octagon never paints over a neighbour");
            }
        }
    }
}

void DrawingTest::metricBoxesApplyToEveryView() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.control<QCheckBox>("chkLines")->click();
    f.press(
        QKeySequence(Qt::CTRL | Qt::Key_PageUp)); // layer 12's view is made before the change, the rest after
    const int height = f.window->height();
    const char* boxes[] = {"Edit8", "Edit9", "Edit10", "Edit11", "Edit12"};
    const QStringList texts = {"300", "200", "8", "20", "14"};
    for (int i = 0; i < 5; ++i) {
        f.control<QLineEdit>(boxes[i])->setText(texts[i]);
    }
    f.control<QPushButton>("Button1")->click();
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.view(j)->size(), QSize(300, 200));
        QCOMPARE(f.view(j)->fontSize(), 8);
        QCOMPARE(f.view(j)->defaultColumnWidth(), 20);
        QCOMPARE(f.view(j)->defaultRowHeight(), 14);
        QCOMPARE(f.model(j)->columns(), 10);
        QCOMPARE(f.model(j)->rows(), 8);
        QVERIFY(f.view(j)->linesShown());
        QCOMPARE(f.view(j)->visualRect(f.view(j)->model()->index(0, 0)).size(), QSize(20, 14));
    }
    QCOMPARE(f.window->height(), height);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(f.textOf(boxes[i]), texts[i]);
        QVERIFY(!f.control<QLineEdit>(boxes[i])->isVisible());
    }
    QVERIFY(!f.control<QPushButton>("Button1")->isVisible());
    // The font size governs the cells from the next "Show Lines" on: 3 x 8 and 2 x 8 + 4.
    f.control<QCheckBox>("chkLines")->click();
    QCOMPARE(f.view(5)->size(), QSize(10 * 24 + 5, 8 * 20 + 5));
    QCOMPARE(f.textOf("Edit11"), QStringLiteral("24"));
}

void DrawingTest::unusableMetricsAreClampedAndShowLinesRestoresTheViews() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    const char* boxes[] = {"Edit8", "Edit9", "Edit10", "Edit11", "Edit12"};
    for (const char* box : boxes) {
        f.control<QLineEdit>(box)->setText("abc");
    }
    f.control<QPushButton>("Button1")->click();
    QCOMPARE(f.view(0)->size(), QSize(0, 0));
    QCOMPARE(f.view(0)->fontSize(), LayerView::MinimumFontSize);
    QCOMPARE(f.view(0)->defaultColumnWidth(), LayerView::MinimumCellSize);
    QCOMPARE(f.view(0)->defaultRowHeight(), LayerView::MinimumCellSize);
    f.view(0)->viewport()->grab(); // paints without trouble

    f.control<QLineEdit>("Edit8")->setText("99999999999");
    f.control<QLineEdit>("Edit10")->setText("2147483647");
    f.control<QLineEdit>("Edit11")->setText("-5");
    f.control<QPushButton>("Button1")->click();
    QCOMPARE(f.view(0)->fontSize(), LayerView::MaximumFontSize);
    QCOMPARE(f.view(0)->defaultColumnWidth(), LayerView::MinimumCellSize);

    f.control<QLineEdit>("Edit10")->setText("6");
    f.control<QPushButton>("Button1")->click();
    f.control<QCheckBox>("chkLines")->click();
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.view(j)->size(), QSize(195, 141));
    }
}

QTEST_MAIN(DrawingTest)
#include "tst_drawing.moc"
