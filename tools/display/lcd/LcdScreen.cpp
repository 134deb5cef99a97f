#include "LcdScreen.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iterator>

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

// Whether a word is a currency sign or a unit that an amount before it keeps on its line, in
// the display's character set ("EUR" is how the conversion writes the euro sign in ASCII).
bool IsUnit(std::string_view word) {
    static constexpr std::string_view kUnits[] = {"EUR", "$",  "%",    "kg",   "g",   "l",
                                                  "cl",  "ml", "\x80", "\xA3", "\xA4"};
    return std::find(std::begin(kUnits), std::end(kUnits), word) != std::end(kUnits);
}

// The words of a line, a number and the currency sign or unit after it kept as one when the
// two fit a line of width ("23,70 EUR" never leaves "EUR" alone on the next line).
std::vector<std::string> WrapUnits(std::string_view line, std::size_t width) {
    std::vector<std::string> units;
    for (const std::string_view word : Words(line)) {
        if (!units.empty() && !units.back().empty() && IsUnit(word) &&
            std::isdigit(static_cast<unsigned char>(units.back().back())) &&
            units.back().size() + 1 + word.size() <= width) {
            units.back() += ' ';
            units.back() += word;
        } else {
            units.emplace_back(word);
        }
    }
    return units;
}

// The text's own lines (split at '\n'), each word-wrapped at width: nothing when a word is
// longer than the line.
std::optional<std::vector<std::string>> Wrapped(const std::vector<std::string>& lines,
                                                std::size_t width) {
    std::vector<std::string> wrapped;
    for (const std::string& line : lines) {
        if (line.size() <= width) {  // as it stands, its blanks kept
            wrapped.push_back(line);
            continue;
        }
        std::string current;
        for (const std::string& word : WrapUnits(line, width)) {
            if (word.size() > width) return std::nullopt;
            if (current.empty()) {
                current = word;
            } else if (current.size() + 1 + word.size() <= width) {
                current += ' ';
                current += word;
            } else {
                wrapped.push_back(current);
                current = word;
            }
        }
        wrapped.push_back(current);
    }
    return wrapped;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

// The text on count lines of width characters (see LcdScreen.h).
std::vector<std::string> TextLines(const std::string& text, int count, int width) {
    if (count < 1) return {};
    // Lines past the last one join it with a blank; an empty one adds nothing.
    const auto join = [](std::string& last, const std::string& next) {
        if (next.empty()) return;
        if (!last.empty()) last += ' ';
        last += next;
    };
    const std::vector<std::string> own = Split(text);
    const auto lines = static_cast<std::size_t>(count);
    if (auto wrapped = Wrapped(own, static_cast<std::size_t>(width))) {
        // The wrapped lines past those the text has join its last one, a marquee then.
        for (std::size_t i = lines; i < wrapped->size(); ++i)
            join((*wrapped)[lines - 1], (*wrapped)[i]);
        wrapped->resize(std::min(wrapped->size(), lines));
        return *wrapped;
    }
    std::vector<std::string> shown(own.begin(), own.begin() + std::min(own.size(), lines));
    for (std::size_t i = shown.size(); i < own.size(); ++i)
        join(shown.back(), own[i]);
    return shown;
}

std::string Centred(const std::string& line, int width) {
    const int length = static_cast<int>(line.size());
    if (length == 0 || length >= width) return line;
    return std::string(static_cast<std::size_t>((width - length) / 2), ' ') + line;
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

namespace {

// A sale line: its item on the left, its amount (after the TAB) ending in the last column, the
// item cut to leave one blank before the amount; an amount longer than the line alone.
std::string SaleLine(const std::string& line, int width) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) return line;
    const std::string amount = line.substr(tab + 1);
    const auto room = static_cast<std::size_t>(width);
    if (amount.size() >= room) return amount;
    std::string item = line.substr(0, std::min(tab, room - amount.size() - 1));
    item.resize(room - amount.size(), ' ');
    return item + amount;
}

}  // namespace

std::vector<std::string> BoardLines(const LcdTexts& texts, LcdSize size) {
    std::vector<std::string> lines(static_cast<std::size_t>(std::max(size.height, 0)));
    if (size.width < 1 || size.height < 1) return {};
    if (texts.text.find('\t') != std::string::npos || !texts.total.empty()) {
        // A sale takes the lines it needs from the bottom: with more lines than the display,
        // its last ones (the latest items and the total).
        std::vector<std::string> sale =
            texts.text.empty() ? std::vector<std::string>() : Split(texts.text);
        if (!texts.total.empty()) {
            for (std::string& line : Split(texts.total))
                sale.push_back(std::move(line));
        }
        const std::size_t shown = std::min(sale.size(), lines.size());
        const std::size_t top = lines.size() - shown;
        for (std::size_t i = 0; i < shown; ++i)
            lines[top + i] = SaleLine(sale[sale.size() - shown + i], size.width);
        // The lines it leaves: the scrolling text just above it, the register's name above.
        std::size_t free = top;
        if (free > 0 && !texts.scroll.empty()) lines[--free] = texts.scroll;
        if (free > 0 && !texts.registerName.empty()) lines[--free] = texts.registerName;
        return lines;
    }
    int free = size.height;  // lines not yet given, counted from the top
    if (size.height >= 3 && !texts.registerName.empty()) lines[--free] = texts.registerName;
    if (size.height >= 2 && !texts.scroll.empty()) lines[--free] = texts.scroll;
    const auto text = TextLines(texts.text, free, size.width);
    for (std::size_t i = 0; i < text.size(); ++i)
        lines[i] = Centred(text[i], size.width);
    return lines;
}

std::string MarqueeWindow(const std::string& line, int width, int step) {
    const int length = static_cast<int>(line.size());
    if (width < 1 || length <= width) return line;
    const int travel = length - width;  // steps from the beginning to the end showing
    const int period = kLcdMarqueeHoldSteps + travel + kLcdMarqueeHoldSteps;
    const int at = ((step % period) + period) % period;
    const int offset = std::clamp(at - kLcdMarqueeHoldSteps, 0, travel);
    return line.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(width));
}

bool HasMarquee(const LcdTexts& texts, LcdSize size) {
    const auto lines = BoardLines(texts, size);
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return static_cast<int>(line.size()) > size.width;
    });
}

std::vector<LcdWidget> Layout(const LcdTexts& texts, LcdSize size, int step) {
    std::vector<LcdWidget> widgets;
    const auto lines = BoardLines(texts, size);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string row = std::to_string(i + 1);
        widgets.push_back({"l" + row, "string",
                           "1 " + row + " " + Quote(MarqueeWindow(lines[i], size.width, step))});
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
