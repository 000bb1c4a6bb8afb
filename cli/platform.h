// SPDX-License-Identifier: MIT
// What amptool and its programs of their own do differently on POSIX systems
// and on Windows: the words they are given, their standard streams, files told
// apart by identity, the null device, and starting a program of their own.
// Everywhere else names are UTF-8 bytes (on POSIX systems, the system's bytes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace amptool {

// The null device's name, as the help tells it.
#ifdef _WIN32
inline constexpr const char* NullDeviceName = "NUL";
#else
inline constexpr const char* NullDeviceName = "/dev/null";
#endif

// The words after the program's name. Windows hands main() its words in the
// ANSI code page, which cannot hold every file name: there they come from the
// UTF-16 command line, as UTF-8.
std::vector<std::string> commandWords(int argc, char* argv[]);

// Standard input and output carry bytes as they are (Windows would otherwise
// turn each "\n" into "\r\n" and end its input at the first 0x1A), and a console
// shows the UTF-8 of messages. Call once at the start.
void prepareStandardStreams();

// A file as the system knows it, links followed: the volume and file number
// that tell two names of one file (index 0 where the system has none), whether
// it is a regular file and its size.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool regular = false;
    std::uint64_t size = 0;
};
std::optional<FileIdentity> identityOf(const std::string& name);
// The same for standard input or output, when it is redirected from or to a file.
std::optional<FileIdentity> identityOfStandardStream(bool output);

// Whether the name leads to the null device (/dev/null, NUL on Windows).
bool namesNullDevice(const std::string& name);

// The folder of the running program, with a separator at its end; empty when
// it cannot be told.
std::string ownFolder();
// The system's separator of folders in a path.
#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif

// One word as a Windows command line gives it back through the Microsoft C
// runtime's rules: quoted when it is empty or holds a space, a tab or a quote;
// a quote inside as \", and the backslashes before a quote or the closing quote
// doubled.
std::string quotedForCommandLine(std::string_view word);

// Runs the program at `path` with the words (`words[0]` its name) and gives its
// exit status; on POSIX systems it takes this process's place and never returns
// when it starts. When it cannot be started: nothing, and `reason` says why.
std::optional<int> runProgram(const std::string& path, const std::vector<std::string>& words,
                              std::string& reason);

// Runs the program words[0] names, found as the system finds programs (the
// PATH), with the words, writing to this process's standard streams, and gives
// its exit status once it has ended. When it cannot be started: nothing, and
// `reason` says why.
std::optional<int> runAndWait(const std::vector<std::string>& words, std::string& reason);

// Removes the file; false when it cannot.
bool removeFile(const std::string& name);

} // namespace amptool
