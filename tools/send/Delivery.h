#pragma once
// One message to the display, as the client's link sends it: a TCP connection is opened, the
// bytes are written, our side is closed, and the display's close is awaited, all within one
// deadline. Blocking (afficheur-send does nothing else meanwhile); the system's sockets
// (Socket.h), no Qt.

#include <cstddef>
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

// The one line that says message `failed` (from 1) of `count` was not delivered to label and
// why, and, with several, which were delivered before it and which were never sent after it
// (the command stops at the first one not delivered): "message 2 of 3 to 127.0.0.1:9100
// dropped: Connection refused; message 1 delivered, message 3 not sent". A lone message is
// "message to 127.0.0.1:9100 dropped: Connection refused", in the words of the client's log.
std::string NotDeliveredLine(const std::string& label, std::size_t failed, std::size_t count,
                             const std::string& why);

}  // namespace sender
