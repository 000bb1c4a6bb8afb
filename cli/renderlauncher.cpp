// SPDX-License-Identifier: MIT
#include "renderlauncher.h"
#include "platform.h"

namespace amptool {

namespace {

constexpr int UsageOrIo = 2;

} // namespace

int startRender(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    return startHelper("amptool-render", "render", words, out, err);
}

int startHelper(const char* helper, const char* command, const std::vector<std::string>& words,
                std::FILE* out, std::FILE* err) {
    const std::string folder = ownFolder();
#ifdef _WIN32
    const std::string name = std::string(helper) + ".exe";
#else
    const std::string name = helper;
#endif
    std::vector<std::string> places = {folder + name};
    // Where the install puts it, when that is not beside amptool; the paths
    // told are the system's own, with its separators.
    if (std::string fromBin = AMPTOOL_HELPER_FROM_BIN; !fromBin.empty()) {
        for (char& c : fromBin) {
            c = c == '/' ? PathSeparator : c;
        }
        places.push_back(folder + fromBin + PathSeparator + name);
    }
    std::string tried;
    std::string why;
    for (const std::string& place : places) {
        std::vector<std::string> all = {place};
        all.insert(all.end(), words.begin(), words.end());
        std::fflush(out);
        std::fflush(err);
        if (const std::optional<int> status = runProgram(place, all, why)) {
            return *status;
        }
        tried += (tried.empty() ? "" : ", ") + place;
    }
    std::fprintf(err, "amptool: %s: cannot start %s (looked for %s): %s\n", command, helper, tried.c_str(),
                 why.c_str());
    return UsageOrIo;
}

} // namespace amptool
