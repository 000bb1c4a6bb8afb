// SPDX-License-Identifier: MIT
// The benchmarks' windows ask nothing and show no box: a question or a box ends
// the run with a message, as the scripted dialogs do. Recovery copies found at
// start-up are left for the editor.
#pragma once

#include "scripteddialogs.h"

#include <cstdio>
#include <cstdlib>

class SilentDialogs : public ScriptedDialogs {
public:
    SilentDialogs() {
        recoveryAnswers.always = RecoveryChoice::Later;
        told = [](const ShownMessage& message) {
            std::fprintf(stderr, "unexpected box: %s %s\n", qPrintable(message.caption),
                         qPrintable(message.text));
            std::exit(UnansweredStatus);
        };
    }
};
