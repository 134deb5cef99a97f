#pragma once
// Where afficheur-send sends: --to, or else the [ecran] ip and port of the client's settings
// file, read through the client's own settings routine in its read-only mode (nothing is
// ever written, not even the defaults the client records).

#include <string>
#include <variant>

#include "SendOptions.h"

namespace sender {

// The display's address, or a usage error that says where to set one.
std::variant<Endpoint, UsageError> Destination(const SendOptions& options);

}  // namespace sender
