#include "SendOptions.h"

#include <algorithm>
#include <charconv>

#include "payment/PaymentCodes.h"

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
        if (!error_) Codes();
        if (error_) return *error_;
        if (!options_.help && !options_.version && options_.messages.empty()) {
            return UsageError{
                "nothing to send (give a text, - for standard input, --line, --total, "
                "--scroll, --colour, --register, --clear, --qr, --pair or a --pay- option)"};
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

    // A QR code of payload, in this place among the messages; its caption comes at the end
    // (--qr-caption may follow it).
    void Qr(std::string payload) {
        if (payload.size() > protocol::kMaxQrPayloadBytes) {
            return Fail("--qr: a payload of " + std::to_string(payload.size()) +
                        " bytes is more than the " + std::to_string(protocol::kMaxQrPayloadBytes) +
                        " a QR code holds");
        }
        codes_.push_back(options_.messages.size());
        options_.messages.push_back({protocol::Kind::Qr, std::move(payload)});
    }

    void QrCaption(std::string caption) { qrCaption_ = std::move(caption); }

    // A payment code of the scheme its option names, its payload built at the end, once its
    // optional fields (which may come after it) are known.
    enum class Scheme { None, Sepa, Upi, Pix };
    void Payment(Scheme scheme, std::vector<std::string> fields) {
        if (scheme_ != Scheme::None) {
            return Fail("one payment code at a time: --pay-sepa, --pay-upi or --pay-pix");
        }
        scheme_ = scheme;
        paymentFields_ = std::move(fields);
        paymentAt_ = options_.messages.size();
        codes_.push_back(paymentAt_);
        options_.messages.push_back({protocol::Kind::Qr, ""});
    }

    // --pay-reference, --pay-text, --pay-bic: each once.
    void PaymentDetail(std::string_view option, std::optional<std::string>& slot,
                       std::string value) {
        if (slot) return Fail(std::string(option) + " is given twice");
        slot = std::move(value);
    }
    std::optional<std::string>& reference() { return reference_; }
    std::optional<std::string>& text() { return text_; }
    std::optional<std::string>& bic() { return bic_; }

  private:
    // The payment's payload, from the builder of its scheme; each detail only where its
    // scheme has it.
    payment::PaymentPayload PaymentPayload() {
        const auto& f = paymentFields_;
        const auto refuse = [](std::string_view option, std::string_view detail,
                               std::string_view schemes) {
            return payment::PaymentPayload(
                payment::PaymentError{std::string(option), std::string(detail),
                                      "goes only with " + std::string(schemes)});
        };
        switch (scheme_) {
            case Scheme::Sepa:
                return payment::SepaTransferPayload({.iban = f[0],
                                                     .name = f[1],
                                                     .amount = f[2],
                                                     .bic = bic_.value_or(""),
                                                     .reference = reference_.value_or(""),
                                                     .text = text_.value_or("")});
            case Scheme::Upi:
                if (reference_)
                    return refuse("--pay-upi", "--pay-reference", "--pay-sepa, --pay-pix");
                if (bic_) return refuse("--pay-upi", "--pay-bic", "--pay-sepa");
                return payment::UpiPaymentLink(
                    {.vpa = f[0], .name = f[1], .amount = f[2], .note = text_.value_or("")});
            case Scheme::Pix:
                if (text_) return refuse("--pay-pix", "--pay-text", "--pay-sepa, --pay-upi");
                if (bic_) return refuse("--pay-pix", "--pay-bic", "--pay-sepa");
                return payment::PixPayload({.key = f[0],
                                            .name = f[1],
                                            .city = f[2],
                                            .amount = f[3],
                                            .txid = reference_.value_or("")});
            case Scheme::None:
                break;
        }
        return std::string();
    }

    // The payment's payload in its place, and every code's caption: done once every option
    // is read.
    void Codes() {
        if (scheme_ == Scheme::None && (reference_ || text_ || bic_)) {
            return Fail(std::string(reference_ ? "--pay-reference"
                                    : text_    ? "--pay-text"
                                               : "--pay-bic") +
                        " goes with --pay-sepa, --pay-upi or --pay-pix");
        }
        if (scheme_ != Scheme::None) {
            const payment::PaymentPayload built = PaymentPayload();
            if (const auto* error = std::get_if<payment::PaymentError>(&built))
                return Fail(error->Line());
            options_.messages[paymentAt_].text = std::get<std::string>(built);
        }
        for (const std::size_t at : codes_) {
            std::string& text = options_.messages[at].text;
            // An empty payload removes the code: an empty message.
            if (!text.empty()) text = protocol::QrText(qrCaption_, text);
            if (text.size() > kMaxTextBytes) {
                return Fail("--qr-caption: a caption of " + std::to_string(qrCaption_.size()) +
                            " bytes makes the code's message longer than a display keeps");
            }
        }
    }

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
            return Fail(std::string(row->name) + " takes " + Count(count) +
                        " arguments: " + std::string(row->name) + " " + std::string(row->values));
        }
        if (inline_) values.push_back(*inline_);
        while (values.size() < count) {
            if (next_ >= args_.size()) {
                return Fail(count == 1 ? name + " needs a value"
                                       : std::string(row->name) + " needs " + Count(count) +
                                             " arguments: " + std::string(row->values));
            }
            values.push_back(args_[next_++]);
        }
        row->read(*this, values);
        last_ = row->name == "--line"    ? Last::Line
                : row->name == "--total" ? Last::Total
                                         : Last::Other;
    }

    static std::string Count(std::size_t count) {
        static constexpr const char* kWords[] = {"no", "one", "two", "three", "four"};
        return count < std::size(kWords) ? kWords[count] : std::to_string(count);
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
    // The QR code messages, by their place, and the caption they all take.
    std::vector<std::size_t> codes_;
    std::string qrCaption_;
    // The payment code asked for: its scheme, its fields in the option's order, its place, and
    // its optional details.
    Scheme scheme_ = Scheme::None;
    std::vector<std::string> paymentFields_;
    std::size_t paymentAt_ = 0;
    std::optional<std::string> reference_;
    std::optional<std::string> text_;
    std::optional<std::string> bic_;
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
    {"--qr", "", "PAYLOAD",
     "a QR code of PAYLOAD beside the sale's total (or alone), after the sale's options; the "
     "next text removes it, and so does --qr \"\"",
     R"man(A QR code of PAYLOAD (UTF-8, drawn byte for byte, line breaks and all; at most 2331
bytes), shown beside the sale's total on the window, the full-screen window and the web page,
or alone when there is no sale; a character display shows its caption instead (or the total
when there is none). Give it after the sale's
.B \-\-line
and
.B \-\-total
options: the next text or sale the display is sent removes the code, so it never outlives its
sale.
.B "\-\-qr \(dq\(dq"
removes it at once.)man",
     [](SendOptionsBuilder& b, const Values& v) { b.Qr(v[0]); }},
    {"--pair", "", "",
     "show the display page's address as a QR code for a minute, for a tablet to open it",
     R"man(Asks the display to show the address of its web page, as a QR code and as text, in a
corner of its window for a minute, so that a tablet scans it instead of typing it. Only a
display that serves its page to the network
.RB ( \-\-http
on a network address) shows it; a character display ignores it.)man",
     [](SendOptionsBuilder& b, const Values&) { b.Add(protocol::Kind::Pair, ""); }},
    {"--qr-caption", "", "TEXT", "the line shown under the QR code (\"Scannez pour payer\")",
     R"man(The line shown under the QR code of
.B \-\-qr
or a
.B \-\-pay\-
option, such as "Scannez pour payer"; a line break in it becomes a space.)man",
     [](SendOptionsBuilder& b, const Values& v) { b.QrCaption(v[0]); }},
    {"--pay-sepa", "", "IBAN NAME AMOUNT",
     "a SEPA credit transfer's QR code (EPC, version 002) to the account IBAN of NAME, AMOUNT "
     "euros; --pay-reference or --pay-text, --pay-bic",
     R"man(A QR code for a SEPA credit transfer (the European Payments Council's code, version
002, UTF-8, drawn at error correction level M) to the account IBAN (its check digits are
checked; spaces are dropped) of the beneficiary NAME (1 to 70 characters), AMOUNT euros
(12,50 or 12.50; from 0.01 to 999999999.99), shown as
.B \-\-qr
shows a code. Optional:
.BR \-\-pay\-reference ,
.B \-\-pay\-text
(one of the two) and
.BR \-\-pay\-bic .)man",
     [](SendOptionsBuilder& b, const Values& v) {
         b.Payment(SendOptionsBuilder::Scheme::Sepa, v);
     }},
    {"--pay-upi", "", "VPA NAME AMOUNT",
     "a UPI payment link's QR code to the address VPA (name@bank) of NAME, AMOUNT rupees; "
     "--pay-text",
     R"man(A QR code of the UPI payment link to the address VPA (name@handle) of NAME (1 to 99
characters), AMOUNT rupees (from 0.01 to 999999999.99), shown as
.B \-\-qr
shows a code. Optional:
.B \-\-pay\-text
as the transaction note (1 to 50 characters).)man",
     [](SendOptionsBuilder& b, const Values& v) { b.Payment(SendOptionsBuilder::Scheme::Upi, v); }},
    {"--pay-pix", "", "KEY NAME CITY AMOUNT",
     "a Pix BR Code to the key KEY of NAME in CITY, AMOUNT reais (\"\" lets the payer type it); "
     "--pay-reference as its TXID",
     R"man(A Pix BR Code (static, the Banco Central do Brasil's EMV code with its CRC) to the Pix
key KEY (a CPF or CNPJ, whose check digits are checked, a phone number, an e-mail address or a
random key) of the merchant NAME (1 to 25 characters) in CITY (1 to 15), AMOUNT reais (an
empty AMOUNT lets the payer type it), shown as
.B \-\-qr
shows a code. Optional:
.B \-\-pay\-reference
as the transaction's TXID (1 to 25 letters and digits).)man",
     [](SendOptionsBuilder& b, const Values& v) { b.Payment(SendOptionsBuilder::Scheme::Pix, v); }},
    {"--pay-reference", "", "REF", "--pay-sepa's creditor reference (RF...), or --pay-pix's TXID",
     R"man(With
.BR \-\-pay\-sepa ,
the structured reference (a creditor reference RF..., whose check digits are checked, or up
to 35 letters and digits); with
.BR \-\-pay\-pix ,
the TXID.)man",
     [](SendOptionsBuilder& b, const Values& v) {
         b.PaymentDetail("--pay-reference", b.reference(), v[0]);
     }},
    {"--pay-text", "", "TEXT", "--pay-sepa's remittance text, or --pay-upi's note",
     R"man(With
.BR \-\-pay\-sepa ,
the remittance text (1 to 140 characters; not with
.BR \-\-pay\-reference );
with
.BR \-\-pay\-upi ,
the transaction note.)man",
     [](SendOptionsBuilder& b, const Values& v) { b.PaymentDetail("--pay-text", b.text(), v[0]); }},
    {"--pay-bic", "", "BIC", "--pay-sepa's bank code (BIC), which the EEA no longer needs",
     R"man(With
.BR \-\-pay\-sepa ,
the beneficiary bank's BIC (8 or 11 letters and digits), which transfers within the EEA no
longer need.)man",
     [](SendOptionsBuilder& b, const Values& v) { b.PaymentDetail("--pay-bic", b.bic(), v[0]); }},
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
