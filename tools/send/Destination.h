#pragma once
// Where afficheur-send sends: --to, or else the [ecran] ip and port of the client's settings
// file, read through the client's own settings routine in its read-only mode (nothing is
// ever written, not even the defaults the client records).

#include <cstdint>
#include <string>
#include <variant>

#include "SendOptions.h"

namespace sender {

// The largest settings file read for the address. The client's file is a few hundred bytes,
// and the settings routine reads a file whole: a file past this is refused, not read.
inline constexpr std::uintmax_t kMaxSettingsBytes = 1024 * 1024;

// The display's address, or a usage error that says where to set one (or that the settings
// file is too large to be one).
std::variant<Endpoint, UsageError> Destination(const SendOptions& options);

}  // namespace sender
