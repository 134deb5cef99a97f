// afficheur-send: puts a text, a sale's lines, a scrolling text, a colour or the register's
// name on the customer display, for scripts and till software. See Usage below.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Delivery.h"
#include "Destination.h"
#include "SendOptions.h"
#include "Transliterate.h"
#include "common/Utf8.h"
#include "protocol/Wire.h"

namespace {

constexpr const char* kUsage = R"(Usage: afficheur-send [OPTION]... [TEXT | -]... [-- TEXT...]
Sends messages to the customer display (afficheur-display), each on its own connection, in
the order given. Texts are UTF-8 (convert others first: iconv -f WINDOWS-1252 -t UTF-8).

  TEXT                   a plain text to show; - reads it from standard input (at most
                         the 65536 bytes a display keeps)
  --                     every argument after it is a text as it stands, even one that
                         starts with - or is - itself: -- "-5,00 remise"
  --line TEXT AMOUNT     a line with an amount flush right; --line options in a row make one
                         message, one line each
  --scroll TEXT          the scrolling text
  --colour N             the text's colour, a palette index from 0 to 15
  --register NAME        the register's name
  --clear                an empty text
  --to HOST:PORT         the display's address ([::1]:9100 for IPv6); otherwise [ecran] ip
                         and port of the client's settings file
  --settings FILE        read the address from FILE instead of the user's QUORIXaffich.ini
  --encoding NAME        windows-1252 (default, what the client sends) or utf-8
  --transliterate        replace characters windows-1252 lacks by look-alikes (else refused)
  --timeout MS           for each message, from connecting to delivery (default 3000)
  --help, --version

Exit status: 0 delivered, 2 bad usage or no address, 3 a character the encoding lacks or a
text that is not UTF-8, 4 refused, unreachable, timed out or not a display (it answered
with bytes).
)";

// Up to limit bytes of standard input; what came before an error that ends it.
std::string ReadStandardInput(std::size_t limit) {
    std::string input;
    char buffer[65536];
    while (input.size() < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - input.size());
        const ssize_t got = ::read(STDIN_FILENO, buffer, want);
        if (got > 0) {
            input.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd entry{STDIN_FILENO, POLLIN, 0};  // an input left non-blocking by its owner
            ::poll(&entry, 1, -1);
        } else {
            break;
        }
    }
    return input;
}

int Say(int status, const std::string& line) {
    std::cerr << "afficheur-send: " << line << '\n';
    return status;
}

std::string CodePoint(char32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
    return text;
}

// The first byte of a text that belongs to no UTF-8 sequence: its place as a character (1 for
// the first) and its value.
struct Malformed {
    std::size_t position = 0;
    unsigned char byte = 0;
};

std::optional<Malformed> FirstMalformed(std::string_view text) {
    std::size_t position = 0;
    for (std::size_t i = 0; i < text.size();) {
        ++position;
        char32_t cp = 0;
        const std::size_t length = utf8::Decode(text, i, &cp);
        if (length == 0) return Malformed{position, static_cast<unsigned char>(text[i])};
        i += length;
    }
    return std::nullopt;
}

std::string ByteValue(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(byte));
    return text;
}

// The bytes of each message, or the status and words of the first that cannot be sent.
std::variant<std::vector<std::string>, int> Compose(const sender::SendOptions& options) {
    std::vector<std::string> messages;
    int number = 0;
    for (const sender::Outgoing& message : options.messages) {
        ++number;
        std::string text = message.text;
        if (options.encoding == protocol::Encoding::Windows1252) {
            if (options.transliterate) {
                text = sender::TransliterateToWindows1252(text);
            } else if (const auto bad = FirstMalformed(text)) {
                // Most often a till's software writing its own code page: what converts it is
                // the advice, with the command last on the line so that it can be copied.
                return Say(sender::kExitUnrepresentable,
                           "message " + std::to_string(number) + ": byte " + ByteValue(bad->byte) +
                               " at position " + std::to_string(bad->position) +
                               " is not UTF-8, which texts must be; convert the text first, from "
                               "Windows-1252 for example: iconv -f WINDOWS-1252 -t UTF-8");
            }
            if (const auto unfit = protocol::Unrepresentable(text)) {
                std::string shown;
                utf8::Append(shown, unfit->codePoint);
                return Say(sender::kExitUnrepresentable,
                           "message " + std::to_string(number) + ": character '" + shown + "' (" +
                               CodePoint(unfit->codePoint) + ") at position " +
                               std::to_string(unfit->position) +
                               " has no place in windows-1252; give --transliterate, or "
                               "--encoding utf-8 for a display started that way");
            }
        }
        messages.push_back(protocol::Compose(message.kind, text, options.encoding));
    }
    return messages;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = sender::ParseSendOptions(args, &ReadStandardInput);
    if (const auto* error = std::get_if<sender::UsageError>(&parsed)) {
        return Say(sender::kExitUsage, error->why);
    }
    const auto& options = std::get<sender::SendOptions>(parsed);
    if (options.help) {
        std::cout << kUsage;
        return sender::kExitDelivered;
    }
    if (options.version) {
        std::cout << "afficheur-send " << AFFICHEUR_VERSION << '\n';
        return sender::kExitDelivered;
    }
    const auto destination = sender::Destination(options);
    if (const auto* error = std::get_if<sender::UsageError>(&destination)) {
        return Say(sender::kExitUsage, error->why);
    }
    const auto& where = std::get<sender::Endpoint>(destination);
    const auto composed = Compose(options);
    if (const auto* status = std::get_if<int>(&composed)) return *status;
    const std::string label =
        (where.host.find(':') != std::string::npos ? "[" + where.host + "]" : where.host) + ":" +
        std::to_string(where.port);
    // In order, stopping at the first message not delivered: the later ones were meant to
    // follow it on the screen (a colour before its text), and a display that hangs would
    // otherwise hold the command for a timeout each.
    const auto& messages = std::get<std::vector<std::string>>(composed);
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const sender::Delivery delivery = sender::Deliver(where, messages[i], options.timeoutMs);
        if (!delivery.delivered) {
            return Say(sender::kExitNotDelivered,
                       sender::NotDeliveredLine(label, i + 1, messages.size(), delivery.why));
        }
    }
    return sender::kExitDelivered;
}
