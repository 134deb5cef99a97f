#include "SendOptions.h"

#include <algorithm>
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

}  // namespace

// The parse under way: what the rows' functions build on, one argument after another.
class SendOptionsBuilder {
  public:
    SendOptionsBuilder(const std::vector<std::string>& args, ReadInput readInput)
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
                "nothing to send (give a text, - for standard input, --line, --total, "
                "--scroll, --colour, --register or --clear)"};
        }
        return options_;
    }

    SendOptions& options() { return options_; }

    void Fail(std::string why) {
        if (!error_) error_ = UsageError{std::move(why)};
    }

    void Add(protocol::Kind kind, std::string text) {
        if (text.size() > kMaxTextBytes) {
            Fail("a text of " + std::to_string(text.size()) + " bytes is longer than the " +
                 std::to_string(kMaxTextBytes) + " a display keeps");
            return;
        }
        options_.messages.push_back({kind, std::move(text)});
    }

    // A sale's line: joins the sale the last --line began, or begins one.
    void Line(const std::string& left, const std::string& right) {
        std::string line = OneLine(left) + '\t' + OneLine(right);
        if (last_ == Last::Line) {
            options_.messages.back().text += '\n' + line;
            return;
        }
        Add(protocol::Kind::Text, std::move(line));
    }

    // The sale's total: after its lines, or alone (the text then cleared, so that only the
    // total shows).
    void Total(const std::string& label, const std::string& amount) {
        if (last_ != Last::Line) Add(protocol::Kind::Text, "");
        Add(protocol::Kind::Total, OneLine(label) + '\t' + OneLine(amount));
    }

    // The change due, on the total's message.
    void Change(const std::string& label, const std::string& amount) {
        if (last_ != Last::Total) return Fail("--change goes right after --total");
        options_.messages.back().text += '\n' + OneLine(label) + '\t' + OneLine(amount);
    }

  private:
    void Text(const std::string& arg) {
        last_ = Last::Other;
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

    void Option(const std::string& arg) {
        std::string name = arg;
        std::optional<std::string> inline_;
        if (const auto equals = arg.find('='); equals != std::string::npos) {
            name = arg.substr(0, equals);
            inline_ = arg.substr(equals + 1);
        }
        const SendOptionRow* row = nullptr;
        for (const SendOptionRow& candidate : SendOptionTable()) {
            if (name == candidate.name || (!candidate.alias.empty() && name == candidate.alias))
                row = &candidate;
        }
        if (row == nullptr) {
            return Fail(arg.starts_with("--")
                            ? "unknown option " + name + " (try --help)"
                            : "unknown option " + name +
                                  " (a text that starts with - goes after --: afficheur-send -- "
                                  "TEXT)");
        }
        const std::size_t count = ValueCount(*row);
        std::vector<std::string> values;
        if (count == 0 && inline_) return Fail(name + " takes no value");
        if (count > 1 && inline_) {
            return Fail(std::string(row->name) + " takes two arguments: " + std::string(row->name) +
                        " " + std::string(row->values));
        }
        if (inline_) values.push_back(*inline_);
        while (values.size() < count) {
            if (next_ >= args_.size()) {
                return Fail(count == 1 ? name + " needs a value"
                                       : std::string(row->name) +
                                             " needs two arguments: " + std::string(row->values));
            }
            values.push_back(args_[next_++]);
        }
        row->read(*this, values);
        last_ = row->name == "--line"    ? Last::Line
                : row->name == "--total" ? Last::Total
                                         : Last::Other;
    }

    static std::size_t ValueCount(const SendOptionRow& row) {
        if (row.values.empty()) return 0;
        return 1 + static_cast<std::size_t>(std::count(row.values.begin(), row.values.end(), ' '));
    }

    enum class Last { Other, Line, Total };  // what the last option made

    const std::vector<std::string>& args_;
    ReadInput readInput_;
    std::size_t next_ = 0;
    SendOptions options_;
    std::optional<UsageError> error_;
    Last last_ = Last::Other;
};

namespace {

using Values = std::vector<std::string>;

const SendOptionRow kRows[] = {
    {"--line", "", "TEXT AMOUNT",
     "a line with an amount flush right; --line options in a row make one message, one line "
     "each",
     R"man(A line with an amount flush right (sent as TEXT, a TAB, AMOUNT).
Several
.B \-\-line
options in a row make one message, one line each: a whole sale screen.)man",
     [](SendOptionsBuilder& b, const Values& v) { b.Line(v[0], v[1]); }},
    {"--total", "", "LABEL AMOUNT",
     "the sale's total, after its --line options (set apart, larger); alone, the total only",
     R"man(The sale's total, on a message of its own after the sale's
.B \-\-line
options: the display sets it apart at the bottom of the sale, larger, and on a character
display on the last line. Alone (no
.B \-\-line
right before it), the text is cleared first, so that the total shows alone. The next text
the display is sent ends it.)man",
     [](SendOptionsBuilder& b, const Values& v) { b.Total(v[0], v[1]); }},
    {"--change", "", "LABEL AMOUNT", "the change due, right after --total, shown as the total is",
     R"man(The change due, right after
.BR \-\-total ,
shown under the total the same way (sent on the total's message).)man",
     [](SendOptionsBuilder& b, const Values& v) { b.Change(v[0], v[1]); }},
    {"--scroll", "", "TEXT", "the scrolling text", "The scrolling text.",
     [](SendOptionsBuilder& b, const Values& v) { b.Add(protocol::Kind::Scroll, v[0]); }},
    {"--colour", "--color", "N", "the text's colour, a palette index from 0 to 15",
     R"man(The colour of the text, a palette index from 0 to 15
.RB ( \-\-color
too).)man",
     [](SendOptionsBuilder& b, const Values& v) {
         if (!WholeNumber(v[0], 0, protocol::kPaletteSize - 1))
             return b.Fail("--colour takes a palette index from 0 to 15, not '" + v[0] + "'");
         b.Add(protocol::Kind::Colour, v[0]);
     }},
    {"--register", "", "NAME", "the register's name", "The register's name.",
     [](SendOptionsBuilder& b, const Values& v) { b.Add(protocol::Kind::Register, v[0]); }},
    {"--clear", "", "", "an empty text", "An empty text.",
     [](SendOptionsBuilder& b, const Values&) { b.Add(protocol::Kind::Text, ""); }},
    {"--to", "", "HOST:PORT",
     "the display's address ([::1]:9100 for IPv6); otherwise [ecran] ip and port of the "
     "client's settings file",
     R"man(The display's address (an IPv6 address in brackets:
.BR [::1]:9100 ).
Without it, the
.B ip
and
.B port
under
.B [ecran]
of the client's settings file are used.)man",
     [](SendOptionsBuilder& b, const Values& v) {
         b.options().to = ParseEndpoint(v[0]);
         if (!b.options().to) {
             b.Fail("--to takes HOST:PORT (a port from 1 to 65535; [::1]:9100 for IPv6), not '" +
                    v[0] + "'");
         }
     }},
    {"--settings", "", "FILE", "read the address from FILE instead of the user's QUORIXaffich.ini",
     R"man(Read the address from FILE instead of
.IR ~/.config/afficheur/QUORIXaffich.ini ,
for software that runs as another user. The file is only read, never written; a file larger
than 1 MiB is no settings file and is refused without being read.)man",
     [](SendOptionsBuilder& b, const Values& v) { b.options().settings = v[0]; }},
    {"--encoding", "", "NAME", "windows-1252 (default, what the client sends) or utf-8",
     R"man(.B windows\-1252
(the default) or
.BR utf\-8 ,
for a display started with
.BR "\-\-encoding utf\-8" .)man",
     [](SendOptionsBuilder& b, const Values& v) {
         const auto encoding = protocol::EncodingNamed(v[0]);
         if (!encoding) return b.Fail("--encoding takes windows-1252 or utf-8, not '" + v[0] + "'");
         b.options().encoding = *encoding;
     }},
    {"--transliterate", "", "",
     "replace characters windows-1252 lacks by look-alikes (else refused)",
     "Replace characters Windows-1252 lacks instead of refusing them.",
     [](SendOptionsBuilder& b, const Values&) { b.options().transliterate = true; }},
    {"--timeout", "", "MS", "for each message, from connecting to delivery (default 3000)",
     R"man(For each message, from connecting to delivery (default 3000). The deadline holds whatever the
other end does.)man",
     [](SendOptionsBuilder& b, const Values& v) {
         const auto ms = WholeNumber(v[0], 1, 600000);
         if (!ms)
             return b.Fail("--timeout takes milliseconds from 1 to 600000, not '" + v[0] + "'");
         b.options().timeoutMs = *ms;
     }},
    {"--help", "-h", "", "", "",
     [](SendOptionsBuilder& b, const Values&) { b.options().help = true; }},
    {"--version", "", "", "", "",
     [](SendOptionsBuilder& b, const Values&) { b.options().version = true; }},
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

std::span<const SendOptionRow> SendOptionTable() {
    return kRows;
}

std::string SendUsage() {
    std::string usage =
        "Usage: afficheur-send [OPTION]... [TEXT | -]... [-- TEXT...]\n"
        "Sends messages to the customer display (afficheur-display), each on its own "
        "connection, in\nthe order given. Texts are UTF-8 (convert others first: iconv -f "
        "WINDOWS-1252 -t UTF-8).\n\n"
        "  TEXT                   a plain text to show; - reads it from standard input (at "
        "most\n                         the 65536 bytes a display keeps)\n"
        "  --                     every argument after it is a text as it stands, even one "
        "that\n                         starts with - or is - itself: -- \"-5,00 remise\"\n";
    for (const SendOptionRow& row : kRows) {
        if (row.help.empty()) continue;
        std::string head = "  " + std::string(row.name);
        if (!row.values.empty()) head += " " + std::string(row.values);
        head.resize(std::max<std::size_t>(head.size() + 1, 25), ' ');
        // The help wrapped at 94 columns, its continuation lines under its start.
        std::string line = head;
        std::string_view words = row.help;
        while (!words.empty()) {
            const auto space = words.find(' ');
            const std::string_view word = words.substr(0, space);
            words.remove_prefix(space == std::string_view::npos ? words.size() : space + 1);
            if (line.size() + word.size() > 94 && line.size() > 25) {
                usage += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
                line = std::string(25, ' ');
            }
            line += std::string(word) + " ";
        }
        usage += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
    }
    usage +=
        "  --help, --version\n\n"
        "Exit status: 0 delivered, 2 bad usage or no address, 3 a character the encoding lacks "
        "or a\ntext that is not UTF-8, 4 refused, unreachable, timed out or not a display (it "
        "answered\nwith bytes).\n";
    return usage;
}

std::string SendManOptions() {
    std::string out;
    for (const SendOptionRow& row : kRows) {
        if (row.man.empty()) continue;
        std::string name;
        for (const char c : row.name) {
            if (c == '-') name += '\\';
            name += c;
        }
        out += ".TP\n";
        out += row.values.empty() ? ".B " + name + "\n"
                                  : ".BI " + name + " \" " + std::string(row.values) + "\"\n";
        out += std::string(row.man) + "\n";
    }
    return out;
}

std::variant<SendOptions, UsageError> ParseSendOptions(const std::vector<std::string>& args,
                                                       ReadInput readInput) {
    return SendOptionsBuilder(args, readInput).Run();
}

}  // namespace sender
