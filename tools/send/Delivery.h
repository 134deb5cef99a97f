#pragma once
// One message to the display, as the client's link sends it: a TCP connection is opened, the
// bytes are written, our side is closed, and the display's close is awaited, all within one
// deadline. Blocking (afficheur-send does nothing else meanwhile); POSIX sockets, no Qt.

#include <string>
#include <string_view>

#include "SendOptions.h"

namespace sender {

struct Delivery {
    bool delivered = false;
    // Why not, in the words of the client's log: "Connection refused", "no delivery within
    // 3000 ms", "Host not found: ...", or that the peer answered, as no display does.
    std::string why;
};

// Delivers bytes to where, trying each address the host names in turn, within timeoutMs in
// all. Delivered once every byte was written and the display closed the connection cleanly
// (it reads one message per connection and closes when it has it). A peer that sends even
// one byte back is not a display, and the message counts as not delivered.
Delivery Deliver(const Endpoint& where, std::string_view bytes, int timeoutMs);

}  // namespace sender
