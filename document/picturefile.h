// SPDX-License-Identifier: MIT
// A picture of the map as a PNG file, written through the one safe writer: what
// Export Picture and the tools that draw a map without a window save.
#pragma once

#include "mapdocument.h"
#include "mapfileio.h"

#include <QByteArray>

#include <optional>

class QImage;

// The image as PNG bytes, or nothing when it cannot be encoded. Maps are flat
// colours, which the fast compression levels hold nearly as small.
std::optional<QByteArray> pngBytes(const QImage& image);

// Encodes the image as PNG and writes it to `fileName`; a failure leaves any file
// of that name as it was. CannotWrite carries the system's reason.
DocumentResult writePicture(const QImage& image, const QString& fileName,
                            amp::NewFileMode mode = amp::NewFileMode::Usual);
