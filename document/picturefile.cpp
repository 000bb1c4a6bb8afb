// SPDX-License-Identifier: MIT
#include "picturefile.h"

#include "mapfileio.h"

#include <QImage>

#include <zlib.h>

#include <cstdint>
#include <span>
#include <vector>

namespace {

constexpr char Signature[] = "\x89PNG\r\n\x1a\n";
constexpr int SignatureSize = 8;
constexpr std::uint8_t TrueColourWithAlpha = 6;
constexpr std::uint8_t EightBits = 8;
constexpr std::uint8_t UpFilter = 2; // each byte less the one above it
constexpr int BytesPerPixel = 4;
constexpr std::size_t OutputBlock = 256 * 1024;

void appendWord(QByteArray& to, std::uint32_t word) {
    const char bytes[4] = {char(word >> 24), char(word >> 16), char(word >> 8), char(word)};
    to.append(bytes, 4);
}

// A chunk: its length, type and data, and the CRC of type and data.
void appendChunk(QByteArray& to, const char* type, const QByteArray& data) {
    appendWord(to, static_cast<std::uint32_t>(data.size()));
    const qsizetype start = to.size();
    to.append(type, 4);
    to.append(data);
    appendWord(to, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(to.constData() + start),
                                                    uInt(to.size() - start))));
}

} // namespace

// Qt's own PNG writer takes most of a second over the largest map; a map's
// lines mostly repeat the line above, so the Up filter leaves long runs of
// zeros that zlib's fastest level packs at once.
std::optional<QByteArray> pngBytes(const QImage& image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    const QImage argb =
        image.format() == QImage::Format_ARGB32 ? image : image.convertToFormat(QImage::Format_ARGB32);
    const auto width = static_cast<std::size_t>(argb.width());
    QByteArray header;
    appendWord(header, static_cast<std::uint32_t>(argb.width()));
    appendWord(header, static_cast<std::uint32_t>(argb.height()));
    header.append(char(EightBits)).append(char(TrueColourWithAlpha)).append(3, '\0');
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return std::nullopt;
    }
    QByteArray compressed;
    std::vector<std::uint8_t> line(1 + width * BytesPerPixel), above(width * BytesPerPixel),
        rgba(width * BytesPerPixel);
    std::vector<std::uint8_t> block(OutputBlock);
    bool ok = true;
    for (int y = 0; y < argb.height() && ok; ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (std::size_t x = 0; x < width; ++x) {
            const QRgb pixel = pixels[x];
            rgba[4 * x] = static_cast<std::uint8_t>(qRed(pixel));
            rgba[4 * x + 1] = static_cast<std::uint8_t>(qGreen(pixel));
            rgba[4 * x + 2] = static_cast<std::uint8_t>(qBlue(pixel));
            rgba[4 * x + 3] = static_cast<std::uint8_t>(qAlpha(pixel));
        }
        line[0] = UpFilter;
        for (std::size_t i = 0; i < rgba.size(); ++i) {
            line[1 + i] = static_cast<std::uint8_t>(rgba[i] - above[i]);
        }
        above.swap(rgba);
        const bool last = y == argb.height() - 1;
        stream.next_in = line.data();
        stream.avail_in = static_cast<uInt>(line.size());
        do {
            stream.next_out = block.data();
            stream.avail_out = static_cast<uInt>(block.size());
            const int result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            ok = result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR;
            compressed.append(reinterpret_cast<const char*>(block.data()),
                              static_cast<qsizetype>(block.size() - stream.avail_out));
        } while (ok && (stream.avail_out == 0 || (last && stream.avail_in > 0)));
    }
    deflateEnd(&stream);
    if (!ok) {
        return std::nullopt;
    }
    QByteArray png(Signature, SignatureSize);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", compressed);
    appendChunk(png, "IEND", {});
    return png;
}

DocumentResult writePicture(const QImage& image, const QString& fileName, amp::NewFileMode mode) {
    const auto encoded = pngBytes(image);
    if (!encoded) {
        return {DocumentResult::Kind::Failed, QObject::tr("The picture could not be made."), {}};
    }
    const QByteArray& png = *encoded;
    const auto written =
        amp::writeFileSafely(fileName,
                             std::span(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                       static_cast<std::size_t>(png.size())),
                             mode);
    if (!written) {
        return {DocumentResult::Kind::CannotWrite, QString::fromStdString(written.error().message), {}};
    }
    return {};
}
