// SPDX-License-Identifier: MIT
#include "platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which these need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <cerrno>
#include <climits>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace amptool {

std::string quotedForCommandLine(std::string_view word) {
    if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string_view::npos) {
        return std::string(word);
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal but before a quote, where each pair gives one.
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring converted(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(), size);
    return converted;
}

std::string utf8(const wchar_t* text, std::size_t length) {
    if (length == 0) {
        return {};
    }
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), converted.data(), size, nullptr,
                          nullptr);
    return converted;
}

std::string systemReason(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = length > 0 ? utf8(text, length) : "error " + std::to_string(code);
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}

std::optional<FileIdentity> identityOfHandle(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (file == INVALID_HANDLE_VALUE || file == nullptr || ::GetFileType(file) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(file, &information)) {
        return std::nullopt;
    }
    FileIdentity identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.index = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    identity.regular = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    identity.size =
        identity.regular ? (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow : 0;
    return identity;
}

UINT consoleCodePageBefore = 0;

} // namespace

std::vector<std::string> commandWords(int, char*[]) {
    int count = 0;
    wchar_t** all = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> words;
    for (int i = 1; all != nullptr && i < count; ++i) {
        words.push_back(utf8(all[i], std::wcslen(all[i])));
    }
    ::LocalFree(all);
    return words;
}

void prepareStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    // The console's code page belongs to the console, which outlives this
    // process: it is set back at the end.
    consoleCodePageBefore = ::GetConsoleOutputCP();
    if (consoleCodePageBefore != 0 && consoleCodePageBefore != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        std::atexit([] { ::SetConsoleOutputCP(consoleCodePageBefore); });
    }
}

std::optional<FileIdentity> identityOf(const std::string& name) {
    const HANDLE file = ::CreateFileW(wide(name).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::optional<FileIdentity> identity = identityOfHandle(file);
    if (!identity) {
        identity = FileIdentity{}; // there, but no file on a disk (a device)
    }
    ::CloseHandle(file);
    return identity;
}

std::optional<FileIdentity> identityOfStandardStream(bool output) {
    return identityOfHandle(::GetStdHandle(output ? STD_OUTPUT_HANDLE : STD_INPUT_HANDLE));
}

bool namesNullDevice(const std::string& name) {
    // The system names its devices in full as \\.\NAME, wherever the name
    // stands in a path ("nul", "C:\maps\NUL", "nul.txt").
    const std::wstring given = wide(name);
    wchar_t full[MAX_PATH];
    const DWORD length = ::GetFullPathNameW(given.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH && ::lstrcmpiW(full, L"\\\\.\\NUL") == 0;
}

std::string ownFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::string whole = utf8(path.data(), path.size());
    return whole.substr(0, whole.find_last_of("\\/") + 1);
}

namespace {

// Starts the program at `path` (or, without one, the program words[0] names,
// looked for as the system does: the PATH) and waits for it.
std::optional<int> startAndWait(const std::string* path, const std::vector<std::string>& words,
                                std::string& reason) {
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty()) {
            line += ' ';
        }
        line += quotedForCommandLine(word);
    }
    std::wstring commandLine = wide(line);
    // The program writes to this process's standard streams, whatever they are.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    for (const HANDLE stream : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
        if (stream != nullptr && stream != INVALID_HANDLE_VALUE) {
            ::SetHandleInformation(stream, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        }
    }
    std::fflush(stdout);
    std::fflush(stderr);
    PROCESS_INFORMATION started{};
    const std::wstring application = path ? wide(*path) : std::wstring();
    if (!::CreateProcessW(path ? application.c_str() : nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_SUSPENDED, nullptr, nullptr, &startup, &started)) {
        reason = systemReason(::GetLastError());
        return std::nullopt;
    }
    // It ends with this process, as a program that took its place would: a job
    // that ends what it holds when its last handle (this process's) closes.
    const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        ::AssignProcessToJobObject(job, started.hProcess);
    }
    ::ResumeThread(started.hThread);
    ::CloseHandle(started.hThread);
    // Ctrl+C reaches the program too; its exit status is the one to give.
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    ::WaitForSingleObject(started.hProcess, INFINITE);
    DWORD status = 2;
    ::GetExitCodeProcess(started.hProcess, &status);
    ::CloseHandle(started.hProcess);
    if (job != nullptr) {
        ::CloseHandle(job);
    }
    return static_cast<int>(status);
}

} // namespace

std::optional<int> runProgram(const std::string& path, const std::vector<std::string>& words,
                              std::string& reason) {
    return startAndWait(&path, words, reason);
}

std::optional<int> runAndWait(const std::vector<std::string>& words, std::string& reason) {
    return startAndWait(nullptr, words, reason);
}

bool removeFile(const std::string& name) {
    return ::DeleteFileW(wide(name).c_str()) != 0;
}

#else

std::vector<std::string> commandWords(int argc, char* argv[]) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void prepareStandardStreams() {}

namespace {

FileIdentity identityOfStatus(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            S_ISREG(status.st_mode), static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0))};
}

} // namespace

std::optional<FileIdentity> identityOf(const std::string& name) {
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return identityOfStatus(status);
}

std::optional<FileIdentity> identityOfStandardStream(bool output) {
    struct stat status {};
    if (::fstat(output ? STDOUT_FILENO : STDIN_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return identityOfStatus(status);
}

bool namesNullDevice(const std::string& name) {
    struct stat at {
    }, null{};
    return ::stat(name.c_str(), &at) == 0 && S_ISCHR(at.st_mode) && ::stat("/dev/null", &null) == 0 &&
           S_ISCHR(null.st_mode) && at.st_rdev == null.st_rdev;
}

std::string ownFolder() {
    // The kernel's link to the running program.
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    const std::string whole(path, static_cast<std::size_t>(length));
    return whole.substr(0, whole.rfind('/') + 1);
}

std::optional<int> runProgram(const std::string& path, const std::vector<std::string>& words,
                              std::string& reason) {
    std::vector<std::string> all = words;
    std::vector<char*> arguments;
    for (std::string& word : all) {
        arguments.push_back(word.data());
    }
    arguments.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    ::execv(path.c_str(), arguments.data());
    reason = std::strerror(errno);
    return std::nullopt;
}

std::optional<int> runAndWait(const std::vector<std::string>& words, std::string& reason) {
    std::vector<std::string> all = words;
    std::vector<char*> arguments;
    for (std::string& word : all) {
        arguments.push_back(word.data());
    }
    arguments.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t child = 0;
    if (const int failed =
            ::posix_spawnp(&child, arguments[0], nullptr, nullptr, arguments.data(), environ)) {
        reason = std::strerror(failed);
        return std::nullopt;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            reason = std::strerror(errno);
            return std::nullopt;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

bool removeFile(const std::string& name) {
    return ::unlink(name.c_str()) == 0;
}

#endif

} // namespace amptool
