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
        std::cout << sender::SendUsage();
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
