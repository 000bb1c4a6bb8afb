// SPDX-License-Identifier: MIT
// What the editor remembers between runs: the maps opened last, the folder of the
// last file dialog, the window's place and docks, and the picture's choices. An
// ordinary INI file, ~/.config/ampedit/ampedit.conf. Every value is checked as
// it is read and a bad one is ignored on its own: a file that is unreadable,
// written by hand or by another version never stops the editor, it only costs
// the values that are wrong.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct PictureLayers;
class QSettings;
class QTemporaryDir;

class EditorSettings {
public:
    // The number of maps File > Open Recent offers.
    static constexpr int RecentCount = 10;

    // The settings of the user who runs the program; the file is found anew each
    // time ($XDG_CONFIG_HOME or ~/.config), so tests can give it a folder of theirs.
    EditorSettings();
    ~EditorSettings();
    EditorSettings(const EditorSettings&) = delete;
    EditorSettings& operator=(const EditorSettings&) = delete;

    static QString filePath();
    // Starts from the defaults: the file goes; false when it is there and stays.
    static bool reset();

    // Newest first, at most RecentCount, each an absolute path named once.
    QStringList recentMaps() const;
    void addRecentMap(const QString& path);
    void removeRecentMap(const QString& path);
    void clearRecentMaps();
    // The maps that were open at the last quit, in their tabs' order.
    QStringList lastSession() const;
    void setLastSession(const QStringList& paths);

    // The folder of the last map opened or written; empty when none was kept.
    QString lastFolder() const;
    void setLastFolder(const QString& folder);

    QByteArray windowGeometry() const;
    QByteArray windowState() const;
    void setWindow(const QByteArray& geometry, const QByteArray& state);

    bool evenColumnsLower() const;
    bool colourBlind() const;
    void setPicture(bool evenColumnsLower, bool colourBlind);

    // The picture's base layer and how each layer lies over it (shown or not,
    // style, opacity); what the file does not say well stays as `picture` has it.
    void readPictureLayers(PictureLayers& picture) const;
    void setPictureLayers(const PictureLayers& picture);

    // The View menu's hex labels and outlines, and how the picture paints: the
    // shape (0 the brush, 1 a line, 2 a rectangle) and the brush radius. What
    // the file does not say well stays as `choices` has it, value by value.
    struct PaintChoices {
        bool coordinates = false;
        bool values = false;
        bool outlines = false;
        int shape = 0;
        int brushRadius = 0;
    };
    static constexpr int ShapeCount = 3;
    static constexpr int LargestBrushRadius = 4;
    void readPaintChoices(PaintChoices& choices) const;
    void setPaintChoices(const PaintChoices& choices);

    // Writes what changed to the file now (it is written at the end in any case).
    void sync();

private:
    QStringList pathList(const QString& key) const;
    bool flag(const QString& key) const;
    // "true" or "false" as written, nothing for any other value.
    std::optional<bool> storedFlag(const QString& key) const;
    std::unique_ptr<QTemporaryDir> scratch_; // where settings go that cannot go to the file
    std::unique_ptr<QSettings> store_;
};
