// Nothing typed is lost to a crash: while the document holds unwritten changes,
// a recovery copy of it sits in the user's data folder (recovery/ under
// QStandardPaths::AppLocalDataLocation), written through the safe writer a moment
// after the last change (and now and then during a long run of changes), never on
// every keystroke. A lock file tells running
// editors' copies from those whose editor is gone. The copy goes once the
// changes are written or discarded, and when the editor closes cleanly.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class MapDocument;

class RecoveryKeeper : public QObject {
    Q_OBJECT

public:
    // What a copy holds: the exact bytes Write Map would write, the typed texts
    // that are more than their bytes, and the name of the map's file.
    struct Copy {
        QString path; // of the copy itself
        QString fileName;
        QDateTime saved;
        std::vector<std::uint8_t> bytes;
        struct Typed {
            int layer;
            std::uint32_t slot;
            QString text;
        };
        std::vector<Typed> typed;
    };

    explicit RecoveryKeeper(MapDocument& document, QObject* parent = nullptr);
    ~RecoveryKeeper() override; // a clean exit: the copy goes

    // How long after the last change the copy is written (2 s).
    void setDelay(int milliseconds) { timer_.setInterval(milliseconds); }
    // This editor's copy; empty until one was written.
    QString copyPath() const;
    // Writes the copy now (the timer does it otherwise).
    void writeNow();
    void removeCopy();

    static QString folder();
    // Copies whose editor is gone, oldest first.
    static std::vector<QString> orphans();
    static std::optional<Copy> readCopy(const QString& path);
    // Removes a copy and its lock.
    static void discard(const QString& path);

private:
    void changed();

    MapDocument& document_;
    QTimer timer_;
    QElapsedTimer pendingSince_; // the first change the copy does not hold yet
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};
