#pragma once
// Standard input read as bytes, for the text "-": StandardInput.cpp reads the POSIX descriptor,
// StandardInput_win.cpp the C runtime's in binary mode (no CR LF turned into LF, no Ctrl-Z
// taken for the end).

#include <cstddef>
#include <string>

namespace sender {

// Up to limit bytes of standard input, fewer only when it ends before; what came before an
// error that ends it.
std::string ReadStandardInput(std::size_t limit);

}  // namespace sender
