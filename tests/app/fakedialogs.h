// SPDX-License-Identifier: MIT
// The scripted dialogs the window tests drive the window with: a question the
// test gave no answer for fails the test, naming the question.
#pragma once

#include "scripteddialogs.h"

#include <QTest>

class FakeDialogs : public ScriptedDialogs {
public:
    FakeDialogs()
        : ScriptedDialogs([](const QString& question) {
              QTest::qFail(
                  qPrintable(QStringLiteral("the window asked a question the test gave no answer for: ") +
                             question),
                  __FILE__, __LINE__);
          }) {}
};
