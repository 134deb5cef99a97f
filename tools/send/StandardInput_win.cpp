// Standard input through the C runtime, switched to binary mode first: in its default text
// mode it would turn CR LF into LF and stop at a Ctrl-Z byte (0x1A), which is a character too.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "StandardInput.h"

namespace sender {

std::string ReadStandardInput(std::size_t limit) {
    constexpr int kInput = 0;
    ::_setmode(kInput, _O_BINARY);
    std::string input;
    char buffer[65536];
    while (input.size() < limit) {
        const auto want = static_cast<unsigned>(std::min(sizeof buffer, limit - input.size()));
        const int got = ::_read(kInput, buffer, want);
        if (got > 0) {
            input.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // the end, or a closed pipe (which the runtime also reports as the end)
        }
    }
    return input;
}

}  // namespace sender
