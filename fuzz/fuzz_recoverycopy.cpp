// SPDX-License-Identifier: MIT
// libFuzzer target over the recovery copy reader: any bytes are refused with a
// reason or give a copy that holds together (a map as long as its header says,
// every typed cell inside it), and a copy written again reads back the same.
// Built with RECOVERY_SEEDS it is instead a program that writes seed copies into
// the folder it is given.
#include "mapformat.h"
#include "recoverycopy.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool same(const RecoveryCopy& a, const RecoveryCopy& b) {
    if (a.fileName != b.fileName || a.saved != b.saved || a.bytes != b.bytes ||
        a.typed.size() != b.typed.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.typed.size(); ++i) {
        if (a.typed[i].layer != b.typed[i].layer || a.typed[i].slot != b.typed[i].slot ||
            a.typed[i].text != b.typed[i].text) {
            return false;
        }
    }
    return true;
}

} // namespace

#ifdef RECOVERY_SEEDS
int main(int argc, char* argv[]) {
    if (argc != 2) {
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    // Maps of 0 x 0, 3 x 2 and 10 x 8 hexes, with none, one and three typed cells.
    int written = 0;
    for (const int columns : {0, 3, 10}) {
        RecoveryCopy copy;
        copy.fileName = QStringLiteral("/maps/m%1.amp").arg(columns);
        copy.saved = QDateTime::fromMSecsSinceEpoch(1765000000000LL * columns, Qt::UTC);
        amp::MapHeader header{{0x2A, 0, static_cast<std::uint8_t>(columns), 0,
                               static_cast<std::uint8_t>(columns * 4 / 5), 0, 5}};
        copy.bytes.assign(header.bytes.begin(), header.bytes.end());
        copy.bytes.resize(amp::completeFileSize(header), 7);
        for (int i = 0; i < header.hexCount() && i < columns; i += 4) {
            copy.typed.push_back(
                {i % amp::LayerCount, static_cast<std::uint32_t>(i), QStringLiteral("ab%1").arg(i)});
        }
        QFile file(QStringLiteral("%1/copy-%2.amprec").arg(folder).arg(columns));
        const QByteArray data = encodeRecoveryCopy(copy);
        written += file.open(QIODevice::WriteOnly) && file.write(data) == data.size() ? 1 : 0;
    }
    return written == 3 ? 0 : 1;
}
#else
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QString why;
    const auto copy = decodeRecoveryCopy(std::span(data, size), &why);
    if (!copy) {
        check(!why.isEmpty());
        return 0;
    }
    check(copy->bytes.size() >= static_cast<std::size_t>(amp::HeaderSize));
    amp::MapHeader header;
    std::copy_n(copy->bytes.begin(), amp::HeaderSize, header.bytes.begin());
    check(copy->bytes.size() == amp::completeFileSize(header));
    for (const RecoveryCopy::Typed& typed : copy->typed) {
        check(typed.layer >= 0 && typed.layer < amp::LayerCount);
        check(typed.slot < static_cast<std::uint32_t>(header.hexCount()));
    }
    const QByteArray again = encodeRecoveryCopy(*copy);
    const auto reread = decodeRecoveryCopy(std::span(reinterpret_cast<const std::uint8_t*>(again.constData()),
                                                     static_cast<std::size_t>(again.size())));
    check(reread && same(*copy, *reread));
    return 0;
}
#endif
