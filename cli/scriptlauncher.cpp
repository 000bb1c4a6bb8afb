// SPDX-License-Identifier: MIT
#include "scriptlauncher.h"
#include "renderlauncher.h"

namespace amptool {

namespace {

constexpr int UsageOrIo = 2;

int startScript(const char* command, const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
#if AMPTOOL_SCRIPTING
    std::vector<std::string> all = {command};
    all.insert(all.end(), words.begin(), words.end());
    return startHelper("amptool-script", command, all, out, err);
#else
    (void)words;
    (void)out;
    std::fprintf(err, "amptool: %s: scripting is not part of this build: it has no JavaScript engine\n",
                 command);
    return UsageOrIo;
#endif
}

} // namespace

int startRun(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    return startScript("run", words, out, err);
}

int startCheck(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    return startScript("check", words, out, err);
}

} // namespace amptool
