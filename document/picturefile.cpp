// SPDX-License-Identifier: MIT
#include "picturefile.h"

#include "mapfileio.h"

#include <QBuffer>
#include <QImage>

#include <span>

namespace {

// Qt turns a PNG quality q into zlib level (100 - q) * 9 / 91: 78 is level 2.
constexpr int FastCompression = 78;

} // namespace

std::optional<QByteArray> pngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG", FastCompression)) {
        return std::nullopt;
    }
    return png;
}

DocumentResult writePicture(const QImage& image, const QString& fileName) {
    const auto encoded = pngBytes(image);
    if (!encoded) {
        return {DocumentResult::Kind::Failed, QObject::tr("The picture could not be made."), {}};
    }
    const QByteArray& png = *encoded;
    const auto written =
        amp::writeFileSafely(fileName, std::span(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                                 static_cast<std::size_t>(png.size())));
    if (!written) {
        return {DocumentResult::Kind::CannotWrite, QString::fromStdString(written.error().message), {}};
    }
    return {};
}
