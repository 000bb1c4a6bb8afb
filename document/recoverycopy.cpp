// SPDX-License-Identifier: MIT
#include "recoverycopy.h"
#include "mapformat.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>

#include <cstring>

namespace {

constexpr char Magic[] = "ampedit recovery 1";

QString tr(const char* text) {
    return QCoreApplication::translate("RecoveryCopy", text);
}

} // namespace

QByteArray encodeRecoveryCopy(const RecoveryCopy& copy) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.writeRawData(Magic, sizeof Magic);
    out << copy.fileName << copy.saved
        << QByteArray(reinterpret_cast<const char*>(copy.bytes.data()),
                      static_cast<qsizetype>(copy.bytes.size()))
        << static_cast<qint32>(copy.typed.size());
    for (const RecoveryCopy::Typed& typed : copy.typed) {
        out << static_cast<quint8>(typed.layer) << static_cast<quint32>(typed.slot) << typed.text;
    }
    return data;
}

std::optional<RecoveryCopy> decodeRecoveryCopy(std::span<const std::uint8_t> data, QString* why) {
    const auto refuse = [why](const QString& reason) -> std::optional<RecoveryCopy> {
        if (why) {
            *why = reason;
        }
        return std::nullopt;
    };
    if (data.size() > LargestRecoveryCopy) {
        return refuse(tr("it is larger than any copy"));
    }
    const QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                                   static_cast<qsizetype>(data.size()));
    QDataStream in(raw);
    char magic[sizeof Magic] = {};
    if (in.readRawData(magic, sizeof Magic) != sizeof Magic || std::memcmp(magic, Magic, sizeof Magic) != 0) {
        return refuse(tr("it is no recovery copy"));
    }
    RecoveryCopy copy;
    QByteArray bytes;
    qint32 typedCount = 0;
    in >> copy.fileName >> copy.saved >> bytes >> typedCount;
    if (in.status() != QDataStream::Ok) {
        return refuse(tr("it ends early"));
    }
    if (!copy.saved.isValid() || copy.saved.timeSpec() != Qt::UTC) {
        return refuse(tr("its time is not one a copy is kept at")); // always in UTC
    }
    // The map is whole: the header and every record it promises, nothing more.
    if (bytes.size() < amp::HeaderSize) {
        return refuse(tr("its map has no header"));
    }
    amp::MapHeader header;
    std::memcpy(header.bytes.data(), bytes.constData(), amp::HeaderSize);
    if (static_cast<std::size_t>(bytes.size()) != amp::completeFileSize(header)) {
        return refuse(tr("its map is not the size its header gives"));
    }
    copy.bytes.assign(bytes.begin(), bytes.end());
    const auto hexes = static_cast<std::uint32_t>(header.hexCount());
    // At most one typed text per cell: a larger count is never read as one.
    if (typedCount < 0 || static_cast<std::int64_t>(typedCount) > std::int64_t{hexes} * amp::LayerCount) {
        return refuse(tr("it counts more typed cells than its map has"));
    }
    for (qint32 i = 0; i < typedCount; ++i) {
        quint8 layer = 0;
        quint32 slot = 0;
        QString text;
        in >> layer >> slot >> text;
        if (in.status() != QDataStream::Ok) {
            return refuse(tr("it ends early"));
        }
        if (layer >= amp::LayerCount || slot >= hexes) {
            return refuse(tr("a typed cell lies outside its map"));
        }
        copy.typed.push_back({layer, slot, text});
    }
    if (!in.atEnd()) {
        return refuse(tr("it has bytes past its end"));
    }
    return copy;
}
