#pragma once
// A built program run by a test as a child process, the same way on Linux and Windows
// (ChildProcess.cpp with posix_spawn, ChildProcess_win.cpp with CreateProcessW): its standard
// input reads a given text, and what it writes comes back. No shell: each argument reaches the
// program as it is.

#include <filesystem>
#include <string>
#include <vector>

struct ChildRun {
    int status = -1;  // the exit status; -1 when the program did not end on its own in time
    std::string out;  // standard output, and standard error too when merged
    std::string err;
};

// How long a child may run before it is killed: far more than any test's program needs.
inline constexpr int kChildSeconds = 60;

// Runs program with args (UTF-8) and waits for it to end, at most kChildSeconds. Its standard
// input reads `input`; its output and errors go through files in folder (and its errors into
// the same file as its output, with mergeErrors). On Windows, where the C runtime writes
// CR LF for each line feed, every CR LF read back is a line feed again.
ChildRun RunChild(const std::filesystem::path& folder, const std::string& program,
                  const std::vector<std::string>& args, const std::string& input = "",
                  bool mergeErrors = false);
