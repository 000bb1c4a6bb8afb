// SPDX-License-Identifier: MIT
// Dialogs for the benchmarks' windows: every question is cancelled, and a
// message box ends the run, as none is expected.
#pragma once

#include "userdialogs.h"

class SilentDialogs : public UserDialogs {
public:
    QString openFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QString saveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    void messageBox(QWidget*, const QString& caption, const QString& text, const QString&) override {
        qFatal("unexpected box: %s %s", qPrintable(caption), qPrintable(text));
    }
    void showMessage(QWidget*, const QString&) override {}
    bool askNumber(QWidget*, const QString&, const QString&, int&, int, int) override { return false; }
    bool askReplace(QWidget*, ReplaceRequest&, const std::function<int(const ReplaceRequest&)>&) override {
        return false;
    }
    RecoveryChoice askRecover(QWidget*, const QString&, const QDateTime&) override {
        return RecoveryChoice::Later;
    }
    bool askMapSize(QWidget*, int&, int&) override { return false; }
    UnwrittenChoice askUnwritten(QWidget*, const QString&, const QString&) override {
        return UnwrittenChoice::Discard;
    }
    bool askYesNo(QWidget*, const QString&, const QString&) override { return false; }
};
