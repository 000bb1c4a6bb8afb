// SPDX-License-Identifier: MIT
// ampshot: opens a map in the real window and saves what a user would see as a
// PNG, for looking at the editor on a machine without a display; or, with
// --picture, draws one layer's picture alone with the map renderer, as Export
// Picture does, without a window.
//   QT_QPA_PLATFORM=offscreen ampshot MAP OUT.png [LAYER] [lines | fairness]
// "fairness" shows the territories of each half's "city b1" hexes, the ruler
// from a city of one half to one of the other with the first cost table
// offered, and the Statistics dock, in a window half as high again.
//   QT_QPA_PLATFORM=offscreen ampshot --picture SIZE MAP OUT.png [LAYER]
//   QT_QPA_PLATFORM=offscreen ampshot --merge BASE OURS THEIRS OUT.png
// (--merge: the three maps merged in the window, its first conflict chosen, the
// Conflicts dock beside the form.)
#include "conflictsdock.h"
#include "fairnesstools.h"
#include "mainwindow.h"
#include "mapeditor.h"
#include "mapfileio.h"
#include "picturebuilder.h"
#include "picturefile.h"
#include "picturelayers.h"
#include "scripteddialogs.h"
#include "statisticsdock.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>

namespace {

// As large as Export Picture makes them.
constexpr double LargestSize = 64;

// The picture of one layer at hex size `size`, through the safe writer.
int drawPicture(double size, const QString& mapName, const QString& pngName, int layer) {
    const auto bytes = amp::readMapFile(mapName);
    const auto map = bytes ? amp::decodeMap(bytes.value()) : amp::Result<amp::MapImage>(bytes.error());
    if (!map) {
        std::fprintf(stderr, "ampshot: %s: %s\n", qPrintable(mapName), map.error().message.c_str());
        return 1;
    }
    // The layer alone, as Export Picture draws it with no overlays.
    PictureLayers alone;
    alone.base = layer;
    const MapRenderer renderer = PictureBuilder(map.value()).renderer({alone, size, false, std::nullopt, {}});
    const DocumentResult written = writePicture(renderer.image(), pngName);
    if (!written) {
        std::fprintf(stderr, "ampshot: cannot write %s: %s\n", qPrintable(pngName),
                     qPrintable(written.message));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc >= 5 && QString::fromLatin1(argv[1]) == QLatin1String("--picture")) {
        const double size = std::atof(argv[2]);
        const int layer = argc > 5 ? std::atoi(argv[5]) : 0;
        if (!(size >= 1 && size <= LargestSize) || layer < 0 || layer >= amp::LayerCount) {
            std::fprintf(stderr, "ampshot: a hex size from 1 to 64 and a layer from 0 to 12\n");
            return 2;
        }
        return drawPicture(size, QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]), layer);
    }
    const bool merging = argc >= 6 && QString::fromLatin1(argv[1]) == QLatin1String("--merge");
    if (argc < 3 || (!merging && QString::fromLatin1(argv[1]).startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "usage: ampshot MAP OUT.png [LAYER] [lines | fairness]\n"
                             "       ampshot --picture SIZE MAP OUT.png [LAYER]\n"
                             "       ampshot --merge BASE OURS THEIRS OUT.png\n");
        return 2;
    }
    // Never a dialog: what a box would tell goes to the terminal, recovery
    // copies are left for the editor, and any other question ends the run.
    ScriptedDialogs dialogs;
    dialogs.told = [](const ShownMessage& message) {
        const QString caption =
            message.caption.isEmpty() ? QString() : QStringLiteral("[%1] ").arg(message.caption);
        std::fprintf(stderr, "%s%s %s\n", qPrintable(caption), qPrintable(message.text),
                     qPrintable(message.detail));
    };
    dialogs.recoveryAnswers.always = RecoveryChoice::Later;
    MainWindow window(dialogs, merging
                                   ? QStringList{QStringLiteral("ampedit")}
                                   : QStringList{QStringLiteral("ampedit"), QString::fromLocal8Bit(argv[1])});
    window.show();
    const char* out = argv[2];
    if (merging) {
        out = argv[5];
        // The merged map is never written: its name is only shown.
        const QString theirs = QString::fromLocal8Bit(argv[4]);
        if (!window.merge(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), theirs,
                          QFileInfo(theirs).dir().filePath(QStringLiteral("merged.amp")))) {
            return 1;
        }
        window.resize(window.width() + window.conflicts().sizeHint().width(), window.height());
        window.conflicts().stepConflict(1);
    } else if (argc > 4 && QString::fromLatin1(argv[4]) == QLatin1String("lines")) {
        window.findChild<QCheckBox*>(QStringLiteral("chkLines"))->click();
    }
    if (!merging && argc > 4 && QString::fromLatin1(argv[4]) == QLatin1String("fairness")) {
        FairnessTools& fairness = window.fairness();
        const auto tables = FairnessTools::offeredTables();
        if (!tables.isEmpty()) {
            fairness.chooseCostTable(tables.front().fileName);
        }
        fairness.territoriesOfCities(amp::Half::LeftRight);
        const auto& sides = window.editor().fairness().sides();
        if (sides.size() == 2) { // from a city of one side to the other's
            window.editor().fairness().setRuler(sides[0].front(), sides[1].back());
        }
        window.resize(window.width(), window.height() * 3 / 2);
        window.statistics().show();
        window.statistics().refresh();
    }
    const int layer = argc > 3 && !merging ? std::atoi(argv[3]) : 0;
    for (int i = 0; i < layer; ++i) {
        window.findChild<QPushButton*>(QStringLiteral("btnPlus"))->click();
    }
    // What follows the first paint (the picture, the legend) arrives within a few
    // turns of the event loop.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 200) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    if (!window.grab().save(QString::fromLocal8Bit(out))) {
        std::fprintf(stderr, "ampshot: cannot write %s\n", out);
        return 1;
    }
    return 0;
}
