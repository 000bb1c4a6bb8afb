// SPDX-License-Identifier: MIT
#include "renderlauncher.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace amptool {

namespace {

constexpr int UsageOrIo = 2;

// The folder of the running program, from the kernel's link to it.
std::string ownFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    const std::string whole(path, static_cast<std::size_t>(length));
    return whole.substr(0, whole.rfind('/') + 1);
}

} // namespace

int startRender(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    return startHelper("amptool-render", "render", words, out, err);
}

int startHelper(const char* helper, const char* command, const std::vector<std::string>& words,
                std::FILE* out, std::FILE* err) {
    const std::string folder = ownFolder();
    const std::string name = helper;
    const std::vector<std::string> places = {folder + name, folder + AMPTOOL_HELPER_FROM_BIN "/" + name};
    std::vector<char*> arguments;
    std::string tried;
    int why = ENOENT;
    for (const std::string& place : places) {
        std::vector<std::string> all = {place};
        all.insert(all.end(), words.begin(), words.end());
        arguments.clear();
        for (std::string& word : all) {
            arguments.push_back(word.data());
        }
        arguments.push_back(nullptr);
        std::fflush(out);
        std::fflush(err);
        ::execv(place.c_str(), arguments.data());
        why = errno;
        tried += (tried.empty() ? "" : ", ") + place;
    }
    std::fprintf(err, "amptool: %s: cannot start %s (looked for %s): %s\n", command, helper, tried.c_str(),
                 std::strerror(why));
    return UsageOrIo;
}

} // namespace amptool
