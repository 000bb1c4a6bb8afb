// SPDX-License-Identifier: MIT
#include "gitsetup.h"
#include "diskio.h"
#include "options.h"
#include "platform.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace amptool {

namespace {

// The folder at the top of the work tree the current folder is in: the first
// of it and its parents that holds ".git" (a folder, or a file in a linked work
// tree). UTF-8, as the other names.
std::optional<std::string> workTreeTop() {
    std::error_code failed;
    std::filesystem::path folder = std::filesystem::current_path(failed);
    if (failed) {
        return std::nullopt;
    }
    for (;;) {
        if (std::filesystem::exists(folder / ".git", failed)) {
            const std::u8string name = folder.u8string();
            return std::string(name.begin(), name.end());
        }
        if (!folder.has_parent_path() || folder.parent_path() == folder) {
            return std::nullopt;
        }
        folder = folder.parent_path();
    }
}

// amptool as the drivers name it: its full path, so that git finds this very
// program whatever its PATH holds.
std::string ownCommand() {
    const std::string folder = ownFolder();
#ifdef _WIN32
    return folder.empty() ? "amptool" : folder + "amptool.exe";
#else
    return folder.empty() ? "amptool" : folder + "amptool";
#endif
}

void gitConfig(bool global, const std::string& key, const std::string& value, std::FILE* out) {
    std::vector<std::string> words = {"git", "config"};
    if (global) {
        words.push_back("--global");
    }
    words.push_back(key);
    words.push_back(value);
    std::string reason;
    const std::optional<int> status = runAndWait(words, reason);
    if (!status) {
        throw std::runtime_error("cannot run git (" + reason + "): is it installed and on the PATH?");
    }
    if (*status != 0) {
        throw std::runtime_error("git config " + key + " failed (exit status " + std::to_string(*status) +
                                 ")");
    }
    std::fprintf(out, "git config%s %s %s\n", global ? " --global" : "", key.c_str(),
                 shellWord(value).c_str());
}

// Whether a line of .gitattributes already hands *.amp to both drivers.
bool marksMaps(std::string_view text) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.rfind("*.amp", 0) == 0 && line.find("merge=ampmap") != std::string_view::npos &&
            line.find("diff=ampmap") != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string shellWord(std::string word) {
    for (char& c : word) {
        c = c == '\\' ? '/' : c;
    }
    if (!word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                "0123456789/._-+:=,@%") == std::string::npos) {
        return word;
    }
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

int gitSetup(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {}, {"--global"});
    options.expectPositional(0, 0, GitSetupUsage);
    const bool global = options.has("--global");
    std::optional<std::string> top;
    if (!global) {
        top = workTreeTop();
        if (!top) {
            throw UsageError{"this folder is in no git repository: run it inside one, or give --global"};
        }
    }
    const std::string amptool = shellWord(ownCommand());
    gitConfig(global, "merge.ampmap.name", "Veldrock maps, hex by hex (amptool merge)", out);
    gitConfig(global, "merge.ampmap.driver", amptool + " merge --git %O %A %B %P", out);
    gitConfig(global, "diff.ampmap.textconv", amptool + " export --format lines", out);
    if (global) {
        std::fprintf(
            out,
            "Add this line to the .gitattributes of each repository that holds maps (or to the file\n"
            "git config core.attributesFile names, for all of them):\n%s\n",
            GitAttributesLine);
        return 0;
    }
    const std::string path = *top + PathSeparator + ".gitattributes";
    std::string text;
    if (identityOf(path)) {
        const auto read = amp::diskio::readFileAtMost(path, std::size_t{1} << 20);
        if (!read) {
            throw std::runtime_error(read.error().message);
        }
        text.assign(read.value().bytes.begin(), read.value().bytes.end());
    }
    if (marksMaps(text)) {
        std::fprintf(out, "%s already has: %s\n", path.c_str(), GitAttributesLine);
        return 0;
    }
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    text += std::string(GitAttributesLine) + "\n";
    const auto written = amp::diskio::writeFileSafely(
        path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (!written) {
        throw std::runtime_error(written.error().message);
    }
    std::fprintf(out, "%s: added %s\n", path.c_str(), GitAttributesLine);
    return 0;
}

} // namespace amptool
