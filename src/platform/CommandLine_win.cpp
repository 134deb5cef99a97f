// On Windows the arguments come from the UTF-16 command line, split as the C runtime splits it
// (CommandLineToArgvW), the program's own name first.
#include <windows.h>
// After <windows.h>, which <shellapi.h> needs.
#include <shellapi.h>

#include <memory>
#include <string>

#include "common/Utf8.h"
#include "platform/CommandLine.h"

namespace platform {
namespace {

struct LocalFreer {
    void operator()(wchar_t** list) const { ::LocalFree(list); }
};

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) {
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalFreer> wide(
        ::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!wide || count < 1) {
        if (argc < 1) return {};
        return std::vector<std::string>(argv + 1, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        const std::wstring_view text(wide.get()[i]);
        arguments.push_back(utf8::FromUtf16(
            std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size())));
    }
    return arguments;
}

}  // namespace platform
