#pragma once
// afficheur-reg's commands: query, add, delete, export and import, each run on options that
// main.cpp has parsed. Each prints what it did on stdout and throws (Failure, or another
// std::exception) with one line for the user when it cannot.

#include <optional>
#include <string>
#include <vector>

namespace reg {

// The command line after the command, as main.cpp parses it.
struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> value;  // /v
    bool defaultValue = false;         // /ve
    bool allValues = false;            // /va
    std::optional<std::string> type;   // /t
    std::optional<std::string> data;   // /d
    std::optional<std::string> separator;
    bool recursive = false;
    bool force = false;
    bool yes = false;
    bool regedit4 = false;
};

// Each returns the exit status (0).
int Query(const Options& o);
int Add(const Options& o);
int Delete(const Options& o);
int Export(const Options& o);
int Import(const Options& o);

}  // namespace reg
