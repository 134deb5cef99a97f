#include "ConfigFile.h"

#include <map>

namespace display {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::variant<std::vector<std::string>, ConfigError> ConfigArguments(std::string_view text,
                                                                    const std::string& file,
                                                                    const OptionNames& known) {
    std::vector<std::string> arguments;
    std::map<std::string, int, std::less<>> valuedAt;  // the line of each option's value
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        const auto where = file + ":" + std::to_string(number) + ": ";
        const auto equals = line.find('=');
        const std::string name(Trimmed(line.substr(0, equals)));
        const auto option = known.find(name);
        if (name == "config")
            return ConfigError{where + "a configuration file cannot name another"};
        if (option == known.end()) return ConfigError{where + "unknown option '" + name + "'"};
        if (equals == std::string_view::npos) {
            if (option->second.takes && !option->second.mayBeLeftOut)
                return ConfigError{where + name + " needs a value (" + name + " = ...)"};
            arguments.push_back("--" + name);
            continue;
        }
        if (!option->second.takes) return ConfigError{where + name + " takes no value"};
        if (!option->second.repeatable) {
            const auto [earlier, first] = valuedAt.try_emplace(name, number);
            if (!first) {
                return ConfigError{where + name + " is given twice (lines " +
                                   std::to_string(earlier->second) + " and " +
                                   std::to_string(number) + "); it takes one value"};
            }
        }
        std::string_view value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        arguments.push_back("--" + name + "=" + std::string(value));
    }
    return arguments;
}

}  // namespace display
