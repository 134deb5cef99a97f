#include "layers/Layers.h"

#include <regex>
#include <sstream>

namespace layers {
namespace {

std::string Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t`");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t`");
    return std::string(text.substr(first, last - first + 1));
}

// The cells of a Markdown table row ("| a | b |" -> {"a", "b"}); empty for any other line.
std::vector<std::string> Cells(std::string_view line) {
    std::vector<std::string> cells;
    const std::string row = Trimmed(line);
    if (row.size() < 2 || row.front() != '|' || row.back() != '|') return cells;
    std::string_view rest = std::string_view(row).substr(1, row.size() - 2);
    for (;;) {
        const size_t bar = rest.find('|');
        cells.push_back(Trimmed(rest.substr(0, bar)));
        if (bar == std::string_view::npos) break;
        rest.remove_prefix(bar + 1);
    }
    return cells;
}

Allowed ReadAllowed(std::string_view cell) {
    Allowed allowed;
    std::string item;
    std::istringstream items{std::string(cell)};
    while (std::getline(items, item, ',')) {
        item = Trimmed(item);
        if (item.empty() || item == "-") continue;
        if (item == "Qt") {
            allowed.qt = true;
        } else if (item.find('/') != std::string::npos && item.ends_with(".h")) {
            allowed.headers.insert(item);
        } else {
            allowed.folders.insert(item);
        }
    }
    return allowed;
}

}  // namespace

std::optional<Table> ReadTable(std::string_view markdown) {
    std::istringstream lines{std::string(markdown)};
    std::string line;
    bool inTable = false;
    Table table;
    while (std::getline(lines, line)) {
        const std::vector<std::string> cells = Cells(line);
        if (!inTable) {
            inTable = cells.size() == 2 && cells[0] == "folder" && cells[1] == "may include";
            continue;
        }
        if (cells.size() != 2) break;
        if (cells[0].find_first_not_of("-: ") == std::string::npos) continue;  // |---|---|
        table[cells[0]] = ReadAllowed(cells[1]);
    }
    if (table.empty()) return std::nullopt;
    return table;
}

std::string FolderOf(std::string_view relativePath) {
    const auto part = [&](size_t n) {
        size_t start = 0;
        for (size_t i = 0; i < n; ++i) {
            start = relativePath.find('/', start);
            if (start == std::string_view::npos) return std::string_view();
            ++start;
        }
        const size_t end = relativePath.find('/', start);
        if (end == std::string_view::npos) return std::string_view();  // a file, not a folder
        return relativePath.substr(start, end - start);
    };
    const std::string_view top = part(0);
    if (top == "app") return "app";
    if (top == "src") return std::string(part(1));
    if (top != "tools" || part(1).empty()) return {};
    // A tool's own folders are layers of their own: tools/display/web/WebServer.cpp is in
    // tools/display/web.
    std::string folder = "tools/" + std::string(part(1));
    if (!part(2).empty()) folder += "/" + std::string(part(2));
    return folder;
}

std::vector<std::string> Breaks(const Table& table, std::string_view relativePath,
                                std::string_view text) {
    const std::string path(relativePath);
    const std::string folder = FolderOf(relativePath);
    const auto row = table.find(folder);
    if (row == table.end()) {
        return {path + ":1: folder '" + folder + "' has no row in the table"};
    }
    const Allowed& allowed = row->second;
    // The folder's own name as its includes spell it ("tools/reg" includes "Message.h").
    const std::string own = folder.substr(folder.rfind('/') + 1);
    // A tool's folders include one another from the tool's root: a file of tools/display/web
    // writes "board/Message.h" for tools/display/board.
    std::string toolRoot;
    if (folder.starts_with("tools/")) toolRoot = folder.substr(0, folder.find('/', 6));

    static const std::regex quoted(R"(^\s*#\s*include\s*"([^"/]+)/([^"]+)\")");
    static const std::regex qt(R"(^\s*#\s*include\s*<(Q[A-Za-z0-9_]*)(/[^>]*)?>)");
    std::vector<std::string> breaks;
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::smatch match;
        std::string target;
        bool refused = false;
        if (std::regex_search(line, match, quoted)) {
            const std::string into = match[1];
            target = into + "/" + match[2].str();
            const bool sibling =
                !toolRoot.empty() && allowed.folders.contains(toolRoot + "/" + into);
            refused = into != own && !sibling && !allowed.folders.contains(into) &&
                      !allowed.headers.contains(target);
        } else if (std::regex_search(line, match, qt)) {
            target = "<" + match[1].str() + match[2].str() + "> (Qt)";
            refused = !allowed.qt;
        }
        if (refused) {
            breaks.push_back(path + ":" + std::to_string(number) + ": " + folder + " -> " + target +
                             " is not in the table");
        }
    }
    return breaks;
}

}  // namespace layers
