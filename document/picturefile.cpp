// SPDX-License-Identifier: MIT
#include "picturefile.h"

#include "mapfileio.h"

#include <QBuffer>
#include <QImage>

#include <span>

DocumentResult writePicture(const QImage& image, const QString& fileName) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        return {DocumentResult::Kind::Failed, QObject::tr("The picture could not be made."), {}};
    }
    const auto written =
        amp::writeFileSafely(fileName, std::span(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                                 static_cast<std::size_t>(png.size())));
    if (!written) {
        return {DocumentResult::Kind::CannotWrite, QString::fromStdString(written.error().message), {}};
    }
    return {};
}
