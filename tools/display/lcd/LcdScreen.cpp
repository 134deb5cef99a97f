#include "LcdScreen.h"

#include <algorithm>
#include <charconv>

#include "LcdText.h"

namespace display {

namespace {

constexpr int kMaxLcdSide = 256;  // LCDd's own limit on width and height

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r\n", at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(line.find_first_of(" \t\r\n", start), line.size());
        words.push_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

std::optional<int> Side(std::string_view word) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
    if (value < 1 || value > kMaxLcdSide) return std::nullopt;
    return value;
}

std::string Marquee(int left, int line, int right, const std::string& text) {
    return std::to_string(left) + " " + std::to_string(line) + " " + std::to_string(right) + " " +
           std::to_string(line) + " m " + std::to_string(kLcdMarqueeSpeed) + " " + Quote(text);
}

}  // namespace

std::optional<LcdSize> ParseConnect(std::string_view line) {
    const auto words = Words(line);
    if (words.empty() || words.front() != "connect") return std::nullopt;
    std::optional<int> width;
    std::optional<int> height;
    for (std::size_t i = 1; i + 1 < words.size(); ++i) {
        if (words[i] == "wid") width = Side(words[i + 1]);
        if (words[i] == "hgt") height = Side(words[i + 1]);
    }
    if (!width || !height) return std::nullopt;
    return LcdSize{*width, *height};
}

std::vector<LcdWidget> Layout(const LcdTexts& texts, LcdSize size) {
    std::vector<LcdWidget> widgets;
    if (size.width < 1 || size.height < 1) return widgets;
    const int width = size.width;

    // A text that fits starts where it stands centred; a longer one runs along the whole line.
    const auto length = static_cast<int>(std::min<std::size_t>(texts.text.size(), kMaxLcdSide));
    const int left = length <= width ? 1 + (width - length) / 2 : 1;
    widgets.push_back({"text", "scroller", Marquee(left, 1, width, texts.text)});
    if (size.height >= 2) {
        widgets.push_back({"scroll", "scroller", Marquee(1, 2, width, texts.scroll)});
    }
    if (size.height >= 3) {
        widgets.push_back({"name", "string",
                           "1 " + std::to_string(size.height) + " " + Quote(texts.registerName)});
    }
    return widgets;
}

std::vector<std::string> SetupCommands(const std::vector<LcdWidget>& widgets) {
    const std::string screen(kLcdScreenId);
    std::vector<std::string> commands = {
        "client_set -name afficheur",
        "screen_add " + screen,
        "screen_set " + screen + " -name Afficheur -priority foreground -heartbeat off",
    };
    for (const auto& widget : widgets) {
        commands.push_back("widget_add " + screen + " " + widget.id + " " + widget.type);
    }
    return commands;
}

std::vector<std::string> WidgetSets(const std::vector<LcdWidget>& before,
                                    const std::vector<LcdWidget>& now) {
    std::vector<std::string> commands;
    for (const auto& widget : now) {
        const bool same = std::find(before.begin(), before.end(), widget) != before.end();
        if (same) continue;
        commands.push_back("widget_set " + std::string(kLcdScreenId) + " " + widget.id + " " +
                           widget.arguments);
    }
    return commands;
}

}  // namespace display
