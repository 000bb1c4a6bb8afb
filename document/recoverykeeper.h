// SPDX-License-Identifier: MIT
// Nothing typed is lost to a crash: while the document holds unwritten changes,
// a recovery copy of it sits in the user's data folder (recovery/ under
// QStandardPaths::AppLocalDataLocation), written through the safe writer a moment
// after the last change (and now and then during a long run of changes, and at
// once before a script runs), never on every keystroke. A lock file tells running
// editors' copies from those whose editor is gone. The copy goes once the
// changes are written or discarded, and when the user closes the editor and
// confirms it; an editor ended any other way leaves it to the next start.
// The folder is the user's alone (0700) and so is every copy (0600): a copy holds
// the whole map and its name. Where no copy can be kept (no data folder, one that
// cannot be written, a full disk) the keeper says so once and tries again at the
// next change.
#pragma once

#include "recoverycopy.h"

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
    using Copy = RecoveryCopy;

    explicit RecoveryKeeper(MapDocument& document, QObject* parent = nullptr);
    // Keeps the copy: only a clean end the user confirmed removes it (removeCopy),
    // never an end that unwinds past the window (an exception).
    ~RecoveryKeeper() override;

    // How long after the last change the copy is written (2 s).
    void setDelay(int milliseconds) { timer_.setInterval(milliseconds); }
    // This editor's copy; empty until one was written.
    QString copyPath() const;
    // Writes the copy now (the timer does it otherwise).
    void writeNow();
    // Writes the copy now if a change waits for the timer: before anything that
    // may take the program down (a script run).
    void flush();
    void removeCopy();

    // Empty where the user has no data folder (HOME not set).
    static QString folder();
    // A copy whose editor is gone, held by the editor that offers it: while the
    // claim lasts no other editor offers, recovers or removes it. Its end leaves
    // the copy to the next start, unless it was discarded or set aside.
    struct Claim {
        QString path;
        std::unique_ptr<QLockFile> lock;
    };
    // Claims the copies whose editor is gone, oldest first. A copy is an editor's
    // as long as that editor holds its lock, however long it runs.
    static std::vector<Claim> claimOrphans();
    // Copies whose editor is gone (claimed and let go again), oldest first.
    static std::vector<QString> orphans();
    // Removes a claimed copy, then lets go of its lock.
    static void discard(Claim& claim);
    // Keeps a copy refused for `why` aside under a name that is never offered (its
    // name plus ".broken"; removed where it cannot be renamed), and gives the
    // message that tells the user so.
    static QString setAside(Claim& claim, const QString& why);
    // The copy, or nothing and the reason in `why` when it does not hold together.
    static std::optional<Copy> readCopy(const QString& path, QString* why = nullptr);

signals:
    // Empty when unwritten changes are protected again (or none are left);
    // otherwise why they are not, said once until that changes.
    void protectionChanged(const QString& notice);

private:
    void changed();
    QString keepCopy(); // the reason when no copy could be kept
    void setProtected(const QString& failure);

    MapDocument& document_;
    QTimer timer_;
    QElapsedTimer pendingSince_; // the first change the copy does not hold yet
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    QString failure_; // what was said last time no copy could be kept
};
