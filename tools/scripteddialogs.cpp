// SPDX-License-Identifier: MIT
#include "scripteddialogs.h"

#include <cstdio>
#include <cstdlib>

namespace {

QString named(const char* kind, const QString& caption, const QString& text = {}) {
    QString question = QString::fromLatin1(kind) + QStringLiteral(" \"") + caption + QLatin1Char('"');
    return text.isEmpty() ? question : question + QStringLiteral(": ") + text;
}

} // namespace

ScriptedDialogs::ScriptedDialogs(Unanswered unanswered) : unanswered_(std::move(unanswered)) {
    if (!unanswered_) {
        unanswered_ = [](const QString& question) {
            std::fprintf(stderr, "a question no answer was given for: %s\n", qPrintable(question));
            std::fflush(stderr);
            std::_Exit(UnansweredStatus);
        };
    }
}

template <typename T> std::optional<T> ScriptedDialogs::take(Answers<T>& answers, const QString& question) {
    if (!answers.isEmpty()) {
        return answers.takeFirst();
    }
    if (answers.always) {
        return answers.always;
    }
    unanswered_(question);
    return std::nullopt;
}

void ScriptedDialogs::tell(const ShownMessage& message) {
    if (told) {
        told(message);
    }
}

QString ScriptedDialogs::openFileName(QWidget*, const FileDialogRequest& request) {
    openRequests.append(request);
    return take(openAnswers, named("openFileName", request.title)).value_or(QString());
}

QString ScriptedDialogs::saveFileName(QWidget*, const FileDialogRequest& request) {
    saveRequests.append(request);
    return take(saveAnswers, named("saveFileName", request.title)).value_or(QString());
}

void ScriptedDialogs::messageBox(QWidget*, const QString& caption, const QString& text,
                                 const QString& detail) {
    boxes.append({caption, text, detail});
    tell(boxes.back());
}

void ScriptedDialogs::inform(QWidget*, const QString& caption, const QString& text, const QString& detail) {
    boxes.append({caption, text, detail, true});
    tell(boxes.back());
}

void ScriptedDialogs::showMessage(QWidget*, const QString& text) {
    plainMessages.append(text);
    tell({{}, text, {}, true});
}

void ScriptedDialogs::showShortcuts(QWidget*, const QList<ShortcutRow>& rows) {
    shortcutTables.append(rows);
}

bool ScriptedDialogs::askText(QWidget*, const QString& title, const QString& label, QString& text) {
    const auto answer = take(texts, named("askText", title, label)).value_or(std::nullopt);
    if (answer) {
        text = *answer;
    }
    return answer.has_value();
}

bool ScriptedDialogs::askNumber(QWidget*, const QString& title, const QString& label, int& value, int, int) {
    offeredNumbers.append(value);
    const auto answer = take(numbers, named("askNumber", title, label)).value_or(std::nullopt);
    if (answer) {
        value = *answer;
    }
    return answer.has_value();
}

bool ScriptedDialogs::askValue(QWidget*, const QString& title, const QString& label, int& value,
                               const ValueNames&) {
    offeredNumbers.append(value);
    const auto answer = take(numbers, named("askValue", title, label)).value_or(std::nullopt);
    if (answer) {
        value = *answer;
    }
    return answer.has_value();
}

bool ScriptedDialogs::askReplace(QWidget*, ReplaceRequest& request,
                                 const std::function<int(const ReplaceRequest&)>& count) {
    offeredScopes.append(request.scope);
    offeredValues.append({request.from, request.to});
    const auto answer =
        take(replaceAnswers, named("askReplace", QStringLiteral("Replace"))).value_or(std::nullopt);
    if (!answer) {
        return false;
    }
    request = *answer;
    replaceCounts.append(count(request));
    return true;
}

bool ScriptedDialogs::askReplaceValues(QWidget* parent, ReplaceRequest& request,
                                       const std::function<int(const ReplaceRequest&)>& count,
                                       const ValueNames&) {
    return askReplace(parent, request, count);
}

RecoveryChoice ScriptedDialogs::askRecover(QWidget*, const QString& name, const QDateTime&) {
    recoveryQuestions.append(name);
    return take(recoveryAnswers, named("askRecover", name)).value_or(RecoveryChoice::Later);
}

bool ScriptedDialogs::askMapSize(QWidget*, int& columns, int& rows) {
    const auto answer = take(mapSizes, named("askMapSize", QStringLiteral("New Map"))).value_or(std::nullopt);
    if (answer) {
        columns = answer->width();
        rows = answer->height();
    }
    return answer.has_value();
}

bool ScriptedDialogs::askResize(QWidget*, int& columns, int& rows, int& anchor) {
    const auto answer =
        take(resizeAnswers, named("askResize", QStringLiteral("Resize"))).value_or(std::nullopt);
    if (answer) {
        columns = answer->columns;
        rows = answer->rows;
        anchor = answer->anchor;
    }
    return answer.has_value();
}

bool ScriptedDialogs::askHeaderBytes(QWidget*, amp::MapHeader& header) {
    offeredHeaders.append(header);
    const auto answer =
        take(headerAnswers, named("askHeaderBytes", QStringLiteral("Header Bytes"))).value_or(std::nullopt);
    if (answer) {
        header = *answer;
    }
    return answer.has_value();
}

UnwrittenChoice ScriptedDialogs::askUnwritten(QWidget*, const QString& caption, const QString& text) {
    ++unwrittenQuestions;
    unwrittenTexts.append(text);
    return take(unwrittenAnswers, named("askUnwritten", caption, text)).value_or(UnwrittenChoice::Cancel);
}

UnwrittenMapsChoice ScriptedDialogs::askUnwrittenMaps(QWidget*, const QStringList& names,
                                                      QList<bool>& chosen) {
    unwrittenMapsOffered.append(names);
    const auto answer =
        take(unwrittenMapsAnswers, named("askUnwrittenMaps", names.join(QStringLiteral(", "))));
    if (!answer) {
        return UnwrittenMapsChoice::Cancel;
    }
    chosen = answer->chosen;
    return answer->choice;
}

bool ScriptedDialogs::askYesNo(QWidget*, const QString& caption, const QString& text) {
    questions.append({caption, text, {}});
    return take(yesNoAnswers, named("askYesNo", caption, text)).value_or(false);
}

bool ScriptedDialogs::askSymmetry(QWidget*, SymmetryRequest& request, bool,
                                  const std::function<int(const SymmetryRequest&)>& count) {
    const auto answer =
        take(symmetryAnswers, named("askSymmetry", QStringLiteral("Symmetry"))).value_or(std::nullopt);
    if (answer) {
        request = *answer;
    }
    symmetryCounts.append(count(request));
    return answer.has_value();
}
