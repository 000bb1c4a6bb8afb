// SPDX-License-Identifier: MIT
// The scripting module's one entry: a new engine, for the program of its own
// version only (the two share the engine's interface and its data types).
#include "jsengine.h"

#include <QtGlobal>

#include <cstring>

extern "C" Q_DECL_EXPORT ScriptEngine* ampedit_new_script_engine(const char* version) {
    if (version == nullptr || std::strcmp(version, AMPEDIT_VERSION) != 0) {
        return nullptr;
    }
    return new JsEngine;
}
