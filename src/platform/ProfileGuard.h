#pragma once
// The writes the INI services refuse on every build, checked before the platform's own
// service is called: a name or a text that would change the file's structure (a line break
// anywhere, a key name holding '=' or beginning with '[' or ';') would make a later read find
// keys or sections that were never written. Plain C++; the same on Linux and Windows.

namespace platform {

// Why writing the text under section and key would break the file's structure, or nullptr
// when the write is safe. A null key or text (the deleting forms) is safe as far as it goes;
// the key name is judged without the blanks around it, as the file's reader sees it.
const char* IniWriteProblem(const char* lpAppName, const char* lpKeyName, const char* lpString);

}  // namespace platform
