#include "common/Log.h"

#include <cstdio>
#include <string>

#if defined(__GLIBC__)
#include <errno.h>  // program_invocation_short_name
#endif

void LogLine(std::string_view message) {
#if defined(__GLIBC__)
    const char* program = program_invocation_short_name;
#else
    const char* program = "afficheur";
#endif
    std::string line = std::string(program) + ": " + std::string(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
