#include "SendOptions.h"

#include <charconv>

namespace sender {

namespace {

std::optional<int> WholeNumber(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// A TAB or a line break inside one side of a --line would make a column or a line of its own.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

// The text of "-": standard input, without the one line feed that echo and most tools end it
// with.
std::string WithoutFinalNewline(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

class Parser {
  public:
    Parser(const std::vector<std::string>& args, ReadInput readInput)
        : args_(args), readInput_(readInput) {}

    std::variant<SendOptions, UsageError> Run() {
        bool optionsEnd = false;
        for (next_ = 0; next_ < args_.size() && !error_;) {
            const std::string arg = args_[next_++];
            if (optionsEnd) {
                // After --, every argument is a text as it stands: "-5,00 remise", "-" or "--"
                // from a variable never turn into an option or a read of standard input.
                Add(protocol::Kind::Text, arg);
            } else if (arg.empty() || arg[0] != '-' || arg == "-") {
                Text(arg);
            } else if (arg == "--") {
                optionsEnd = true;
            } else {
                Option(arg);
            }
        }
        if (error_) return *error_;
        if (!options_.help && !options_.version && options_.messages.empty()) {
            return UsageError{
                "nothing to send (give a text, - for standard input, --line, "
                "--scroll, --colour, --register or --clear)"};
        }
        return options_;
    }

  private:
    void Fail(std::string why) {
        if (!error_) error_ = UsageError{std::move(why)};
    }

    // The value of an option: after '=' in the same argument, or the next argument.
    std::optional<std::string> Value(const std::string& name,
                                     const std::optional<std::string>& inline_) {
        if (inline_) return inline_;
        if (next_ >= args_.size()) {
            Fail(name + " needs a value");
            return std::nullopt;
        }
        return args_[next_++];
    }

    void Add(protocol::Kind kind, std::string text) {
        if (text.size() > kMaxTextBytes) {
            Fail("a text of " + std::to_string(text.size()) + " bytes is longer than the " +
                 std::to_string(kMaxTextBytes) + " a display keeps");
            return;
        }
        options_.messages.push_back({kind, std::move(text)});
        lineGroupOpen_ = false;
    }

    void Text(const std::string& arg) {
        if (arg != "-") return Add(protocol::Kind::Text, arg);
        // The longest text a display keeps, its final line break, and one byte more to tell a
        // longer input: a producer that never stops is refused as soon as that much has come.
        constexpr std::size_t kLineBreak = 2;
        const std::string input = readInput_(kMaxTextBytes + kLineBreak + 1);
        if (input.size() > kMaxTextBytes + kLineBreak) {
            return Fail("the text on standard input is longer than the " +
                        std::to_string(kMaxTextBytes) + " bytes a display keeps");
        }
        Add(protocol::Kind::Text, WithoutFinalNewline(input));
    }

    void Line(const std::string& left, const std::string& right) {
        std::string line = OneLine(left) + '\t' + OneLine(right);
        if (lineGroupOpen_) {
            options_.messages.back().text += '\n' + line;
            return;
        }
        Add(protocol::Kind::Text, std::move(line));
        lineGroupOpen_ = true;
    }

    void Option(const std::string& arg) {
        std::string name = arg;
        std::optional<std::string> inline_;
        if (const auto equals = arg.find('='); equals != std::string::npos) {
            name = arg.substr(0, equals);
            inline_ = arg.substr(equals + 1);
        }
        const auto flag = [&] {
            if (inline_) Fail(name + " takes no value");
        };
        if (name == "-h" || name == "--help") {
            flag();
            options_.help = true;
        } else if (name == "--version") {
            flag();
            options_.version = true;
        } else if (name == "--transliterate") {
            flag();
            options_.transliterate = true;
        } else if (name == "--clear") {
            flag();
            Add(protocol::Kind::Text, "");
        } else if (name == "--line") {
            if (inline_) return Fail("--line takes two arguments: --line TEXT AMOUNT");
            if (next_ + 2 > args_.size()) return Fail("--line needs two arguments: TEXT AMOUNT");
            const std::string left = args_[next_++];
            const std::string right = args_[next_++];
            Line(left, right);
        } else if (name == "--scroll") {
            if (const auto value = Value(name, inline_)) Add(protocol::Kind::Scroll, *value);
        } else if (name == "--register") {
            if (const auto value = Value(name, inline_)) Add(protocol::Kind::Register, *value);
        } else if (name == "--colour" || name == "--color") {
            const auto value = Value(name, inline_);
            if (!value) return;
            if (!WholeNumber(*value, 0, 15)) {
                return Fail("--colour takes a palette index from 0 to 15, not '" + *value + "'");
            }
            Add(protocol::Kind::Colour, *value);
        } else if (name == "--to") {
            const auto value = Value(name, inline_);
            if (!value) return;
            options_.to = ParseEndpoint(*value);
            if (!options_.to) {
                Fail("--to takes HOST:PORT (a port from 1 to 65535; [::1]:9100 for IPv6), not '" +
                     *value + "'");
            }
        } else if (name == "--settings") {
            if (const auto value = Value(name, inline_)) options_.settings = *value;
        } else if (name == "--encoding") {
            const auto value = Value(name, inline_);
            if (!value) return;
            const auto encoding = protocol::EncodingNamed(*value);
            if (!encoding)
                return Fail("--encoding takes windows-1252 or utf-8, not '" + *value + "'");
            options_.encoding = *encoding;
        } else if (name == "--timeout") {
            const auto value = Value(name, inline_);
            if (!value) return;
            const auto ms = WholeNumber(*value, 1, 600000);
            if (!ms)
                return Fail("--timeout takes milliseconds from 1 to 600000, not '" + *value + "'");
            options_.timeoutMs = *ms;
        } else if (arg.starts_with("--")) {
            Fail("unknown option " + name + " (try --help)");
        } else {
            Fail("unknown option " + name +
                 " (a text that starts with - goes after --: afficheur-send -- TEXT)");
        }
        if (name != "--line") lineGroupOpen_ = false;
    }

    const std::vector<std::string>& args_;
    ReadInput readInput_;
    std::size_t next_ = 0;
    SendOptions options_;
    std::optional<UsageError> error_;
    bool lineGroupOpen_ = false;  // the last message is a run of --line options
};

}  // namespace

std::optional<Endpoint> ParseEndpoint(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    std::string host = text.substr(0, colon);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') return std::nullopt;
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        return std::nullopt;  // an IPv6 address needs its brackets
    }
    const auto port = WholeNumber(text.substr(colon + 1), 1, 65535);
    if (!port) return std::nullopt;
    return Endpoint{host, *port};
}

std::variant<SendOptions, UsageError> ParseSendOptions(const std::vector<std::string>& args,
                                                       ReadInput readInput) {
    return Parser(args, readInput).Run();
}

}  // namespace sender
