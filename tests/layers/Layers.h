#pragma once
// The layer check: which folder of the source tree may include which, as the design section
// of docs/architecture.md lists it, and the includes of a source file that break that table.
//
// The table is the Markdown table whose header row is "| folder | may include |". Each row
// names one folder (`client`, `tools/reg`, `app`) and, separated by commas, what its files may
// include: a whole folder (`settings`), one header of a folder (`host/Form.h`) or `Qt` (the
// Qt headers, <QWidget>, <QtGui/...>). A folder may always include its own headers. Plain
// functions on text; the test that walks the tree is LayersTest.cpp.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace layers {

struct Allowed {
    std::set<std::string> folders;  // "settings": every header of the folder
    std::set<std::string> headers;  // "host/Form.h": that header only
    bool qt = false;
};

// Folder name -> what it may include.
using Table = std::map<std::string, Allowed>;

// The table in a Markdown text, or nullopt when the text has none (or one without rows).
std::optional<Table> ReadTable(std::string_view markdown);

// The folder a file belongs to, from its path relative to the source root:
// "src/client/Form1.cpp" -> "client", "app/main.cpp" -> "app", "tools/reg/main.cpp" ->
// "tools/reg", "tools/display/web/WebServer.cpp" -> "tools/display/web" (a tool's folders
// are layers too). Empty for a path outside src/, app/ and tools/.
std::string FolderOf(std::string_view relativePath);

// One message per include of `text` (the file at relativePath) that the table does not
// allow: "<path>:<line>: <folder> -> <include> is not in the table". A file whose folder has
// no row breaks the table at its first line. Only `#include "folder/..."` and Qt's angle
// includes are looked at; an include without a folder ("Message.h") is the file's own. A
// tool's folders include one another from the tool's root ("board/Message.h" in
// tools/display/web names tools/display/board, allowed when its row lists that).
std::vector<std::string> Breaks(const Table& table, std::string_view relativePath,
                                std::string_view text);

}  // namespace layers
