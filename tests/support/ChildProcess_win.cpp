// Windows child processes. The command line is quoted as the C runtime and CommandLineToArgvW
// split it again. Under Wine the build's paths (/work/...) name the same files through the
// drive that maps the root, on which the tests run.
#include <windows.h>

#include <string>
#include <utility>

#include "common/Utf8.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace {

std::wstring Wide(const std::string& text) {
    const std::u16string units = utf8::ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

// One argument as the command line must hold it: quoted when it has blanks or quotes (or is
// empty), with the backslashes before a quote doubled and the quote escaped.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

class Handle {
  public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle() {
        if (valid()) ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

// A file the child inherits as one of its standard handles.
HANDLE OpenForChild(const std::filesystem::path& path, bool write) {
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                         write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string WithLineFeeds(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

ChildRun RunChild(const std::filesystem::path& folder, const std::string& program,
                  const std::vector<std::string>& args, const std::string& input,
                  bool mergeErrors) {
    const auto in = folder / "child-in.txt";
    const auto out = folder / "child-out.txt";
    const auto err = folder / "child-err.txt";
    WriteFile(in, input);
    ChildRun run;
    {
        const Handle input(OpenForChild(in, false));
        const Handle output(OpenForChild(out, true));
        const Handle errors(mergeErrors ? INVALID_HANDLE_VALUE : OpenForChild(err, true));
        if (!input.valid() || !output.valid() || (!mergeErrors && !errors.valid())) return run;

        const std::wstring application = Wide(program);
        std::wstring line = Quoted(application);
        for (const std::string& arg : args)
            line += L" " + Quoted(Wide(arg));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = output.get();
        startup.hStdError = mergeErrors ? output.get() : errors.get();
        PROCESS_INFORMATION started{};
        if (!::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              nullptr, &startup, &started)) {
            return run;
        }
        const Handle process(started.hProcess);
        const Handle thread(started.hThread);
        if (::WaitForSingleObject(process.get(), kChildSeconds * 1000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 10000);
            return run;
        }
        DWORD status = 0;
        if (::GetExitCodeProcess(process.get(), &status)) run.status = static_cast<int>(status);
    }
    run.out = WithLineFeeds(ReadFile(out));
    if (!mergeErrors) run.err = WithLineFeeds(ReadFile(err));
    return run;
}
