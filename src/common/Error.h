#pragma once
// The error value of the whole system: a number, the source that raised it and an English
// description. It is thrown as an exception where an operation fails outright, and kept as a
// value where an operation only notes a failure and carries on.

#include <cstdint>
#include <stdexcept>
#include <string>

class Error : public std::runtime_error {
  public:
    Error(int32_t number, std::string source, std::string description);

    int32_t number;
    std::string source;
    std::string description;
};

// One line for logs: "error <number> in <source>: <description>".
std::string Describe(const Error& error);
