// SPDX-License-Identifier: MIT
// amptool-render: `amptool render`, the map drawn by the editor's renderer into
// a PNG without a display. amptool starts it for the command; it needs QtGui,
// and a platform only for the fonts of labels (the offscreen one, whatever the
// environment names).
#include "commands.h"
#include "mapformat.h"
#include "options.h"
#include "picturebuilder.h"
#include "picturefile.h"
#include "picturelayers.h"
#include "platform.h"
#include "renderlauncher.h"

#include <QGuiApplication>

#include <cstdio>
#include <memory>
#include <sstream>

namespace {

constexpr int DefaultSize = 8;
constexpr int LargestSize = 64;
// Larger pictures are refused, not tried: 4 bytes a pixel.
constexpr double LargestPicture = 100e6;
// Corners past the map are told against the map's size, up to this.
constexpr int LargestCorner = 65535;

struct Render {
    std::string map;
    std::string target;
    PictureLayers picture;
    int size = DefaultSize;
    bool evenLower = false;
    std::optional<std::array<int, 4>> region;
};

MapRenderer::OverlayStyle styleOf(const std::string& word) {
    const QStringList names = overlayStyleNames();
    const auto found = names.indexOf(QString::fromStdString(word));
    if (found < 0) {
        throw amptool::UsageError{"the style is marks, shade or values, not \"" + word + "\""};
    }
    return static_cast<MapRenderer::OverlayStyle>(found);
}

Render readWords(const std::vector<std::string>& words) {
    const amptool::Options options(words, {"-o", "--size", "--base", "--overlay", "--region"},
                                   {"--coordinates", "--outlines", "--colour-blind", "--even-columns-lower"},
                                   {"--overlay"});
    options.expectPositional(1, 1, amptool::RenderUsage);
    Render render;
    render.map = options.positional()[0];
    if (!options.value("-o")) {
        throw amptool::UsageError{"-o is needed: where the picture goes"};
    }
    render.target = *options.value("-o");
    if (const auto size = options.value("--size")) {
        render.size = amptool::wholeNumber(*size, 1, LargestSize, "the hex size");
    }
    PictureLayers& picture = render.picture;
    if (const auto base = options.value("--base")) {
        picture.base = amptool::layerOfWord(*base);
    }
    for (const std::string& overlay : options.values("--overlay")) {
        const auto colon = overlay.find(':');
        const int layer = amptool::layerOfWord(overlay.substr(0, colon));
        if (layer == picture.base) {
            throw amptool::UsageError{"layer " + std::to_string(layer) + " is the base already"};
        }
        const auto style = colon == std::string::npos ? MapRenderer::OverlayStyle::Marks
                                                      : styleOf(overlay.substr(colon + 1));
        picture.layers[static_cast<std::size_t>(layer)] = {true, style, 1.0};
    }
    picture.coordinates = options.has("--coordinates");
    picture.outlines = options.has("--outlines");
    picture.palette =
        options.has("--colour-blind") ? palettes::Palette::ColourBlind : palettes::Palette::Standard;
    render.evenLower = options.has("--even-columns-lower");
    if (const auto region = options.value("--region")) {
        std::array<int, 4> corners{};
        std::stringstream parts(*region);
        std::string part;
        std::size_t count = 0;
        while (std::getline(parts, part, ',')) {
            if (count < corners.size()) {
                corners[count] = amptool::wholeNumber(part, 0, LargestCorner, "a corner of the region");
            }
            ++count;
        }
        if (count != corners.size() || corners[0] > corners[2] || corners[1] > corners[3]) {
            throw amptool::UsageError{"the region is C0,R0,C1,R1 with C0 <= C1 and R0 <= R1, not \"" +
                                      *region + "\""};
        }
        render.region = corners;
    }
    return render;
}

int render(const std::vector<std::string>& words, std::FILE* out) {
    const Render render = readWords(words);
    amptool::refuseOverwriting(render.target, {render.map});
    const amp::MapImage map = amptool::readMapOrFail(render.map);
    const int columns = map.header.columns(), rows = map.header.rows();
    const std::string shape = std::to_string(columns) + " x " + std::to_string(rows) + " hexes";
    if (columns == 0 || rows == 0) {
        throw amptool::UsageError{render.map + ": the map has " + shape + ", nothing to draw"};
    }
    QRect cells(0, 0, columns, rows);
    if (render.region) {
        const auto& [c0, r0, c1, r1] = *render.region;
        if (c1 >= columns || r1 >= rows) {
            throw amptool::UsageError{
                "the region " + std::to_string(c0) + "," + std::to_string(r0) + "," + std::to_string(c1) +
                "," + std::to_string(r1) + " reaches outside the map of " + shape + " (columns 0-" +
                std::to_string(columns - 1) + ", rows 0-" + std::to_string(rows - 1) + ")"};
        }
        cells = QRect(QPoint(c0, r0), QPoint(c1, r1));
    }
    PictureBuilder builder(map);
    const MapRenderer renderer =
        builder.renderer({render.picture, double(render.size), render.evenLower, std::nullopt, cells});
    const QSize size = renderer.imageSize();
    if (double(size.width()) * size.height() > LargestPicture) {
        throw amptool::UsageError{"the picture would be " + std::to_string(size.width()) + " x " +
                                  std::to_string(size.height()) +
                                  " pixels, more than can be drawn: give a smaller "
                                  "--size or a --region"};
    }
    // Fonts need a platform, and only labels need fonts.
    std::unique_ptr<QGuiApplication> application;
    if (renderer.labelLines() > 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "amptool-render";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    const auto png = pngBytes(renderer.image(QImage::Format_ARGB32));
    if (!png) {
        throw std::runtime_error("the picture could not be made");
    }
    amptool::writeOutputOrFail(render.target,
                               std::string_view(png->constData(), static_cast<std::size_t>(png->size())), out,
                               render.map);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // Qt's own remarks (a runtime folder not set, a font looked for) are not the
    // command's to make; its failures still go to stderr.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "amptool: render: %s\n", qPrintable(message));
        }
    });
    amptool::prepareStandardStreams();
    const std::vector<std::string> words = amptool::commandWords(argc, argv);
    return amptool::runCommand(
        "render", [&words] { return render(words, stdout); }, stderr);
}
