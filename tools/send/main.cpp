// afficheur-send: puts a text, a sale's lines, a scrolling text, a colour or the register's
// name on the customer display, for scripts and till software. See Usage below.

#include <iostream>
#include <string>
#include <variant>
#include <vector>

#include "Delivery.h"
#include "Destination.h"
#include "Payload.h"
#include "SendOptions.h"
#include "StandardInput.h"
#include "platform/CommandLine.h"

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

int Say(int status, const std::string& line) {
    std::cerr << "afficheur-send: " << line << '\n';
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = platform::Arguments(argc, argv);
    const auto parsed = sender::ParseSendOptions(args, &sender::ReadStandardInput);
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
    const auto composed = sender::Payloads(options);
    if (const auto* refused = std::get_if<sender::Refusal>(&composed)) {
        return Say(refused->status, refused->line);
    }
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
