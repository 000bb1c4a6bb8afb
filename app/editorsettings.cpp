// SPDX-License-Identifier: MIT
#include "editorsettings.h"
#include "filenames.h"
#include "picturelayers.h"
#include "userfolders.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMetaType>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

// The layout of the file this program writes; an older or newer one is read
// value by value all the same.
constexpr int SettingsVersion = 1;
// Longer texts are no path this program wrote, and no window state either.
constexpr qsizetype LongestPath = 4096;
constexpr qsizetype LargestState = 64 * 1024;
// A settings file this program writes is a few kilobytes.
constexpr qint64 LargestFile = 1024 * 1024;

const QString RecentKey = QStringLiteral("recent/maps");
const QString SessionKey = QStringLiteral("session/maps");
const QString FolderKey = QStringLiteral("files/lastFolder");
const QString GeometryKey = QStringLiteral("window/geometry");
const QString StateKey = QStringLiteral("window/state");
const QString EvenKey = QStringLiteral("picture/evenColumnsLower");
const QString ColourBlindKey = QStringLiteral("picture/colourBlind");
const QString BaseKey = QStringLiteral("picture/base");
const QString OverlaysKey = QStringLiteral("picture/overlays");
const QString CoordinatesKey = QStringLiteral("picture/hexCoordinates");
const QString ValuesKey = QStringLiteral("picture/hexValues");
const QString OutlinesKey = QStringLiteral("picture/hexOutlines");
const QString ShapeKey = QStringLiteral("picture/paintShape");
const QString RadiusKey = QStringLiteral("picture/brushRadius");
// The paint shapes as the file names them, in the order of their numbers.
const QStringList ShapeNames = {QStringLiteral("brush"), QStringLiteral("line"), QStringLiteral("rectangle")};

bool isPathText(const QString& text) {
    return !text.isEmpty() && text.size() <= LongestPath && QDir::isAbsolutePath(text) &&
           !text.contains(QChar(u'\0'));
}

} // namespace

namespace {

// The settings file as it may be used: missing (it will be made), or a regular
// file of a sane size, reached directly or through a link. Anything else (a link
// to a device such as /dev/zero, a folder, a dangling link, a huge file) is
// neither read, which could never end, nor written, which would replace what the
// link names: that run starts from the defaults and keeps its settings to itself.
bool isUsableFile(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) {
        return !file.isSymLink();
    }
    return file.isFile() && file.size() <= LargestFile;
}

// QSettings writes its file from the event loop as soon as a value changes,
// which at start-up (the map just read is the newest recent one) would come
// before the window's first paint, with a lock file and two disk syncs. The
// settings are written a while later instead, one write for all the changes of
// that while, and at the end in any case.
class LaterWrites : public QObject {
public:
    static constexpr int WriteAfterMs = 2000;

    LaterWrites(QSettings& store, std::function<void()> write) : QObject(&store), write_(std::move(write)) {
        timer_.setSingleShot(true);
        timer_.setInterval(WriteAfterMs);
        connect(&timer_, &QTimer::timeout, this, [this] { write_(); });
        store.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest) {
            if (!timer_.isActive()) {
                timer_.start();
            }
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> write_;
    QTimer timer_;
};

} // namespace

EditorSettings::EditorSettings() {
    const QString path = filePath();
    if (isUsableFile(path)) {
        store_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
    } else {
        scratch_ = std::make_unique<QTemporaryDir>();
        store_ = std::make_unique<QSettings>(scratch_->filePath(QStringLiteral("ampedit.conf")),
                                             QSettings::IniFormat);
    }
    new LaterWrites(*store_, [this] { sync(); });
}

EditorSettings::~EditorSettings() {
    sync();
}

// An INI file on every system, never the Windows registry: ~/.config/ampedit/
// ampedit.conf, or %LOCALAPPDATA%\ampedit\ampedit.ini on Windows.
QString EditorSettings::filePath() {
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("/ampedit/ampedit.ini");
#else
    const QString name = QStringLiteral("/ampedit/ampedit.conf");
#endif
    return amp::userConfigFolder() + name;
}

bool EditorSettings::reset() {
    const QString path = filePath();
    return !QFileInfo::exists(path) || QFile::remove(path);
}

QStringList EditorSettings::pathList(const QString& key) const {
    QStringList paths;
    const QVariant stored = store_->value(key);
    // One entry is read back as a text, several as a list.
    const QStringList entries = stored.typeId() == QMetaType::QString       ? QStringList{stored.toString()}
                                : stored.typeId() == QMetaType::QStringList ? stored.toStringList()
                                                                            : QStringList();
    for (const QString& entry : entries) {
        const QString path = QDir::cleanPath(entry);
        if (isPathText(entry) && !paths.contains(path, FileNameCase)) {
            paths.append(path);
            if (paths.size() == RecentCount) {
                break;
            }
        }
    }
    return paths;
}

QStringList EditorSettings::recentMaps() const {
    return pathList(RecentKey);
}

void EditorSettings::addRecentMap(const QString& path) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!isPathText(absolute)) {
        return;
    }
    QStringList paths = recentMaps();
    paths.removeIf([&absolute](const QString& kept) { return kept.compare(absolute, FileNameCase) == 0; });
    paths.prepend(absolute);
    store_->setValue(RecentKey, paths.mid(0, RecentCount));
    setLastFolder(QFileInfo(absolute).path());
}

void EditorSettings::removeRecentMap(const QString& path) {
    QStringList paths = recentMaps();
    const QString removed = QDir::cleanPath(path);
    paths.removeIf([&removed](const QString& kept) { return kept.compare(removed, FileNameCase) == 0; });
    store_->setValue(RecentKey, paths);
}

void EditorSettings::clearRecentMaps() {
    store_->remove(RecentKey);
}

QStringList EditorSettings::lastSession() const {
    return pathList(SessionKey);
}

void EditorSettings::setLastSession(const QStringList& paths) {
    QStringList kept;
    for (const QString& path : paths) {
        const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (isPathText(absolute)) {
            kept.append(absolute);
        }
    }
    store_->setValue(SessionKey, kept);
}

QString EditorSettings::lastFolder() const {
    const QVariant stored = store_->value(FolderKey);
    const QString folder = stored.typeId() == QMetaType::QString ? stored.toString() : QString();
    return isPathText(folder) ? QDir::cleanPath(folder) : QString();
}

void EditorSettings::setLastFolder(const QString& folder) {
    store_->setValue(FolderKey, folder);
}

QByteArray EditorSettings::windowGeometry() const {
    const QVariant stored = store_->value(GeometryKey);
    return stored.typeId() == QMetaType::QByteArray && stored.toByteArray().size() <= LargestState
               ? stored.toByteArray()
               : QByteArray();
}

QByteArray EditorSettings::windowState() const {
    const QVariant stored = store_->value(StateKey);
    return stored.typeId() == QMetaType::QByteArray && stored.toByteArray().size() <= LargestState
               ? stored.toByteArray()
               : QByteArray();
}

void EditorSettings::setWindow(const QByteArray& geometry, const QByteArray& state) {
    store_->setValue(GeometryKey, geometry);
    store_->setValue(StateKey, state);
}

// "true" or "false" as written; anything else is the default, false.
bool EditorSettings::flag(const QString& key) const {
    return storedFlag(key).value_or(false);
}

std::optional<bool> EditorSettings::storedFlag(const QString& key) const {
    const QVariant stored = store_->value(key);
    if (stored.typeId() == QMetaType::Bool) {
        return stored.toBool();
    }
    if (stored.typeId() == QMetaType::QString) {
        const QString text = stored.toString();
        if (text == QLatin1String("true") || text == QLatin1String("false")) {
            return text == QLatin1String("true");
        }
    }
    return std::nullopt;
}

void EditorSettings::readPaintChoices(PaintChoices& choices) const {
    choices.coordinates = storedFlag(CoordinatesKey).value_or(choices.coordinates);
    choices.values = storedFlag(ValuesKey).value_or(choices.values);
    choices.outlines = storedFlag(OutlinesKey).value_or(choices.outlines);
    const QVariant shape = store_->value(ShapeKey);
    if (shape.typeId() == QMetaType::QString && ShapeNames.contains(shape.toString())) {
        choices.shape = static_cast<int>(ShapeNames.indexOf(shape.toString()));
    }
    bool number = false;
    const QVariant radiusStored = store_->value(RadiusKey);
    const int radius =
        radiusStored.typeId() == QMetaType::QString ? radiusStored.toString().toInt(&number) : 0;
    if (number && radius >= 0 && radius <= LargestBrushRadius) {
        choices.brushRadius = radius;
    }
}

void EditorSettings::setPaintChoices(const PaintChoices& choices) {
    store_->setValue(CoordinatesKey, choices.coordinates);
    store_->setValue(ValuesKey, choices.values);
    store_->setValue(OutlinesKey, choices.outlines);
    store_->setValue(ShapeKey, ShapeNames.value(std::clamp(choices.shape, 0, ShapeCount - 1)));
    store_->setValue(RadiusKey, QString::number(std::clamp(choices.brushRadius, 0, LargestBrushRadius)));
}

bool EditorSettings::evenColumnsLower() const {
    return flag(EvenKey);
}

bool EditorSettings::colourBlind() const {
    return flag(ColourBlindKey);
}

void EditorSettings::setPicture(bool evenColumnsLower, bool colourBlind) {
    store_->setValue(EvenKey, evenColumnsLower);
    store_->setValue(ColourBlindKey, colourBlind);
}

// One entry a layer, "on:marks:0.75": over the base or not, its style, its opacity.
void EditorSettings::readPictureLayers(PictureLayers& picture) const {
    bool ok = false;
    const int base = store_->value(BaseKey).toString().toInt(&ok);
    if (ok && base >= 0 && base < amp::LayerCount) {
        picture.base = base;
    }
    const QVariant stored = store_->value(OverlaysKey);
    const QStringList entries =
        stored.typeId() == QMetaType::QStringList ? stored.toStringList() : QStringList();
    const QStringList styles = overlayStyleNames();
    for (int layer = 0; layer < std::min<int>(entries.size(), amp::LayerCount); ++layer) {
        const QStringList parts = entries[layer].split(QLatin1Char(':'));
        bool number = false;
        const double opacity = parts.value(2).toDouble(&number);
        const qsizetype style = styles.indexOf(parts.value(1));
        if (parts.size() != 3 || (parts[0] != QLatin1String("on") && parts[0] != QLatin1String("off")) ||
            style < 0 || !number || !(opacity >= 0 && opacity <= 1)) {
            continue; // this layer as it was
        }
        auto& how = picture.layers[static_cast<std::size_t>(layer)];
        how.overlay = parts[0] == QLatin1String("on");
        how.style = static_cast<MapRenderer::OverlayStyle>(style);
        how.opacity = opacity;
    }
}

void EditorSettings::setPictureLayers(const PictureLayers& picture) {
    QStringList entries;
    const QStringList styles = overlayStyleNames();
    for (const auto& how : picture.layers) {
        entries << QStringLiteral("%1:%2:%3")
                       .arg(how.overlay ? QStringLiteral("on") : QStringLiteral("off"))
                       .arg(styles.value(static_cast<int>(how.style)))
                       .arg(how.opacity);
    }
    store_->setValue(BaseKey, QString::number(picture.base));
    store_->setValue(OverlaysKey, entries);
}

void EditorSettings::sync() {
    // Checked again: what the file is may have changed while the editor ran.
    if (store_->isWritable() && (scratch_ || isUsableFile(filePath()))) {
        // Setting a value marks the file for writing even when it is unchanged.
        const QString version = QStringLiteral("version");
        if (store_->value(version).toInt() != SettingsVersion) {
            store_->setValue(version, SettingsVersion);
        }
        store_->sync();
    }
}
