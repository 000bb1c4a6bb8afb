// SPDX-License-Identifier: MIT
// Dialogs that answer from a script and remember what the window showed: the
// tests, the benchmarks and ampshot drive the real window through them, and no
// modal dialog ever opens. Every question is answered explicitly: an answer is
// taken from the front of its list, or else its standing answer is given; a
// question with neither is a fault of whoever drives the window. It is reported,
// named with its caption and text, through `unanswered` (by default on stderr,
// and the program ends with UnansweredStatus), and then cancelled.
#pragma once

#include "userdialogs.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct ShownMessage {
    QString caption;
    QString text;
    QString detail;
    bool okOnly = false; // a box that only informs
};

// The answers to one kind of question, taken from the front; `always` answers
// once the list is empty.
template <typename T> class Answers : public QList<T> {
public:
    using QList<T>::QList;
    using QList<T>::operator=;
    std::optional<T> always;
};

class ScriptedDialogs : public UserDialogs {
public:
    // The status a program ends with when the default report of an unanswered question ends it.
    static constexpr int UnansweredStatus = 3;
    using Unanswered = std::function<void(const QString& question)>;
    explicit ScriptedDialogs(Unanswered unanswered = {});

    // Called with every box and message the window shows, after it is kept.
    std::function<void(const ShownMessage& message)> told;

    // The answers, each list for one kind of question. A file name that is
    // empty cancels its dialog, and so does std::nullopt any other.
    Answers<QString> openAnswers;
    Answers<QString> saveAnswers;
    Answers<std::optional<QString>> texts;
    Answers<std::optional<int>> numbers;                   // askNumber and askValue
    Answers<std::optional<ReplaceRequest>> replaceAnswers; // both kinds; the count of each one given is kept
    Answers<RecoveryChoice> recoveryAnswers;
    struct ResizeAnswer {
        int columns, rows, anchor;
    };
    Answers<std::optional<ResizeAnswer>> resizeAnswers;
    Answers<std::optional<amp::MapHeader>> headerAnswers;
    Answers<std::optional<QSize>> mapSizes;
    Answers<std::optional<SymmetryRequest>> symmetryAnswers; // the count is told of a cancelled one too
    Answers<bool> yesNoAnswers;
    Answers<UnwrittenChoice> unwrittenAnswers;
    struct UnwrittenMapsAnswer {
        UnwrittenMapsChoice choice;
        QList<bool> chosen; // the check boxes as the user leaves them
    };
    Answers<UnwrittenMapsAnswer> unwrittenMapsAnswers;

    // What the window asked and showed.
    QList<FileDialogRequest> openRequests;
    QList<FileDialogRequest> saveRequests;
    QList<ShownMessage> boxes;
    QStringList plainMessages;
    QList<QList<ShortcutRow>> shortcutTables;
    QList<int> offeredNumbers;                  // the value each number dialog opened with
    QList<int> replaceCounts;                   // what the dialog showed for each request
    QList<ReplaceRequest::Scope> offeredScopes; // the scope each replace dialog opened with
    QList<std::pair<int, int>> offeredValues;   // and its "from" and "to"
    QStringList recoveryQuestions;              // the names asked about
    QList<amp::MapHeader> offeredHeaders;       // what each header dialog opened with
    QList<int> symmetryCounts;                  // what the dialog told for each request asked
    QList<ShownMessage> questions;              // every Yes/No question asked
    int unwrittenQuestions = 0;
    QStringList unwrittenTexts;              // the text of each of those questions
    QList<QStringList> unwrittenMapsOffered; // the names each quit question listed

    QString openFileName(QWidget*, const FileDialogRequest& request) override;
    QString saveFileName(QWidget*, const FileDialogRequest& request) override;
    void messageBox(QWidget*, const QString& caption, const QString& text, const QString& detail) override;
    void inform(QWidget*, const QString& caption, const QString& text, const QString& detail) override;
    void showMessage(QWidget*, const QString& text) override;
    void showShortcuts(QWidget*, const QList<ShortcutRow>& rows) override;
    bool askText(QWidget*, const QString& title, const QString& label, QString& text) override;
    bool askNumber(QWidget*, const QString& title, const QString& label, int& value, int, int) override;
    bool askValue(QWidget*, const QString& title, const QString& label, int& value,
                  const ValueNames&) override;
    bool askReplace(QWidget*, ReplaceRequest& request,
                    const std::function<int(const ReplaceRequest&)>& count) override;
    bool askReplaceValues(QWidget*, ReplaceRequest& request,
                          const std::function<int(const ReplaceRequest&)>& count, const ValueNames&) override;
    RecoveryChoice askRecover(QWidget*, const QString& name, const QDateTime&) override;
    bool askMapSize(QWidget*, int& columns, int& rows) override;
    bool askResize(QWidget*, int& columns, int& rows, int& anchor) override;
    bool askHeaderBytes(QWidget*, amp::MapHeader& header) override;
    UnwrittenChoice askUnwritten(QWidget*, const QString& caption, const QString& text) override;
    UnwrittenMapsChoice askUnwrittenMaps(QWidget*, const QStringList& names, QList<bool>& chosen) override;
    bool askYesNo(QWidget*, const QString& caption, const QString& text) override;
    bool askSymmetry(QWidget*, SymmetryRequest& request, bool,
                     const std::function<int(const SymmetryRequest&)>& count) override;

private:
    // The next answer to a question, or none when nothing was given for it
    // (then reported as unanswered).
    template <typename T> std::optional<T> take(Answers<T>& answers, const QString& question);
    void tell(const ShownMessage& message);

    Unanswered unanswered_;
};
