#include "common/Error.h"

#include <utility>

namespace {
std::string Compose(int32_t number, const std::string& source, const std::string& description) {
    return "error " + std::to_string(number) + " in " + source + ": " + description;
}
}  // namespace

Error::Error(int32_t number_, std::string source_, std::string description_)
    : std::runtime_error(Compose(number_, source_, description_)),
      number(number_),
      source(std::move(source_)),
      description(std::move(description_)) {}

std::string Describe(const Error& error) {
    return error.what();
}
