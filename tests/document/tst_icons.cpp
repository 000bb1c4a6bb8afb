// SPDX-License-Identifier: MIT
// The icon's drawing sits in the middle of its square at every size an install
// brings, and so does the window's own icon: the empty margins left and right,
// and above and below, differ by at most one pixel.
#include <QImage>
#include <QTest>

class IconTest : public QObject {
    Q_OBJECT

private slots:
    void theDrawingIsCentredAtEverySize_data();
    void theDrawingIsCentredAtEverySize();
};

void IconTest::theDrawingIsCentredAtEverySize_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size");
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QTest::addRow("%d", size) << QStringLiteral(AMPEDIT_SOURCE_DIR "/dist/icons/ampedit-%1.png").arg(size)
                                  << size;
    }
    QTest::addRow("window") << QStringLiteral(AMPEDIT_SOURCE_DIR "/resources/mainicon.png") << 32;
}

void IconTest::theDrawingIsCentredAtEverySize() {
    QFETCH(QString, file);
    QFETCH(int, size);
    const QImage image = QImage(file).convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(!image.isNull(), qPrintable(file));
    QCOMPARE(image.size(), QSize(size, size));

    // A pixel counts as drawn from a quarter of full opacity: anti-aliased fringes
    // below that are not what the eye takes for the drawing's edge.
    constexpr int drawn = 64;
    int left = size, right = -1, top = size, bottom = -1;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (qAlpha(image.pixel(x, y)) >= drawn) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    QVERIFY2(right >= 0, "the icon draws nothing");
    const int marginLeft = left, marginRight = size - 1 - right;
    const int marginTop = top, marginBottom = size - 1 - bottom;
    QVERIFY2(std::abs(marginLeft - marginRight) <= 1,
             qPrintable(QStringLiteral("left %1, right %2").arg(marginLeft).arg(marginRight)));
    QVERIFY2(std::abs(marginTop - marginBottom) <= 1,
             qPrintable(QStringLiteral("top %1, bottom %2").arg(marginTop).arg(marginBottom)));
}

QTEST_GUILESS_MAIN(IconTest)
#include "tst_icons.moc"
