// SPDX-License-Identifier: MIT
// Dialogs that answer from a script and remember what the window showed, so the
// tests drive the real window without a modal dialog.
#pragma once

#include "userdialogs.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

struct ShownMessage {
    QString caption;
    QString text;
    QString detail;
    bool okOnly = false; // a box that only informs
};

class FakeDialogs : public UserDialogs {
public:
    QStringList openAnswers; // taken from the front; an empty text cancels
    QStringList saveAnswers;
    QList<FileDialogRequest> openRequests;
    QList<FileDialogRequest> saveRequests;
    QList<ShownMessage> boxes;
    QStringList plainMessages;
    QList<UnwrittenChoice> unwrittenAnswers; // taken from the front; Discard when none is scripted
    int unwrittenQuestions = 0;

    QString openFileName(QWidget*, const FileDialogRequest& request) override {
        openRequests.append(request);
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFileName(QWidget*, const FileDialogRequest& request) override {
        saveRequests.append(request);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    void messageBox(QWidget*, const QString& caption, const QString& text, const QString& detail) override {
        boxes.append({caption, text, detail});
    }
    void inform(QWidget*, const QString& caption, const QString& text, const QString& detail) override {
        boxes.append({caption, text, detail, true});
    }
    void showMessage(QWidget*, const QString& text) override { plainMessages.append(text); }
    QList<QList<ShortcutRow>> shortcutTables;
    void showShortcuts(QWidget*, const QList<ShortcutRow>& rows) override { shortcutTables.append(rows); }
    QStringList texts; // taken from the front; cancels when none is scripted
    bool askText(QWidget*, const QString&, const QString&, QString& text) override {
        if (texts.isEmpty()) {
            return false;
        }
        text = texts.takeFirst();
        return true;
    }
    QList<int> numbers;        // taken from the front; cancels when none is scripted
    QList<int> offeredNumbers; // the value each number dialog opened with
    bool askNumber(QWidget*, const QString&, const QString&, int& value, int, int) override {
        offeredNumbers.append(value);
        if (numbers.isEmpty()) {
            return false;
        }
        value = numbers.takeFirst();
        return true;
    }
    QList<ReplaceRequest> replaceAnswers;       // taken from the front; cancels when none is scripted
    QList<int> replaceCounts;                   // what the dialog showed for each request
    QList<ReplaceRequest::Scope> offeredScopes; // the scope each dialog opened with
    QList<std::pair<int, int>> offeredValues;   // and its "from" and "to"
    bool askReplace(QWidget*, ReplaceRequest& request,
                    const std::function<int(const ReplaceRequest&)>& count) override {
        offeredScopes.append(request.scope);
        offeredValues.append({request.from, request.to});
        if (replaceAnswers.isEmpty()) {
            return false;
        }
        request = replaceAnswers.takeFirst();
        replaceCounts.append(count(request));
        return true;
    }
    QList<RecoveryChoice> recoveryAnswers; // taken from the front; Later when none is scripted
    QStringList recoveryQuestions;         // the names asked about
    RecoveryChoice askRecover(QWidget*, const QString& name, const QDateTime&) override {
        recoveryQuestions.append(name);
        return recoveryAnswers.isEmpty() ? RecoveryChoice::Later : recoveryAnswers.takeFirst();
    }
    struct ResizeAnswer {
        int columns, rows, anchor;
    };
    QList<ResizeAnswer> resizeAnswers; // taken from the front; cancels when none is scripted
    bool askResize(QWidget*, int& columns, int& rows, int& anchor) override {
        if (resizeAnswers.isEmpty()) {
            return false;
        }
        const ResizeAnswer answer = resizeAnswers.takeFirst();
        columns = answer.columns;
        rows = answer.rows;
        anchor = answer.anchor;
        return true;
    }
    QList<amp::MapHeader> headerAnswers;  // taken from the front; cancels when none is scripted
    QList<amp::MapHeader> offeredHeaders; // what each dialog opened with
    bool askHeaderBytes(QWidget*, amp::MapHeader& header) override {
        offeredHeaders.append(header);
        if (headerAnswers.isEmpty()) {
            return false;
        }
        header = headerAnswers.takeFirst();
        return true;
    }
    QList<QSize> mapSizes; // taken from the front; cancels when none is scripted
    bool askMapSize(QWidget*, int& columns, int& rows) override {
        if (mapSizes.isEmpty()) {
            return false;
        }
        const QSize size = mapSizes.takeFirst();
        columns = size.width();
        rows = size.height();
        return true;
    }
    QList<SymmetryRequest> symmetryAnswers; // taken from the front; cancels when none is scripted
    QList<int> symmetryCounts;              // what the dialog told for each request asked
    bool askSymmetry(QWidget*, SymmetryRequest& request, bool,
                     const std::function<int(const SymmetryRequest&)>& count) override {
        if (symmetryAnswers.isEmpty()) {
            symmetryCounts.append(count(request));
            return false;
        }
        request = symmetryAnswers.takeFirst();
        symmetryCounts.append(count(request));
        return true;
    }
    QList<bool> yesNoAnswers;      // taken from the front; No (the default) when none is scripted
    QList<ShownMessage> questions; // every Yes/No question asked
    bool askYesNo(QWidget*, const QString& caption, const QString& text) override {
        questions.append({caption, text, {}});
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }
    UnwrittenChoice askUnwritten(QWidget*, const QString&, const QString&) override {
        ++unwrittenQuestions;
        return unwrittenAnswers.isEmpty() ? UnwrittenChoice::Discard : unwrittenAnswers.takeFirst();
    }
};
