#pragma once
// One-line diagnostics on stderr, prefixed with the program's name. The system shows nothing
// of its own to the user; these lines are for whoever looks after the machine.
//
// A message often carries text from outside (a file's content, bytes from the network), so
// every line is escaped: one call is always exactly one line, and nothing in it can drive the
// terminal it is read on.

#include <cstddef>
#include <string>
#include <string_view>

// Writes "<program>: <message>\n" with the message's control characters escaped (see below).
void LogLine(std::string_view message);

// The text with its control characters made visible: line feed, carriage return and tab
// become \n, \r and \t, the other C0 controls and DEL become \xHH (upper-case hex), and the
// C1 controls U+0080 to U+009F (two bytes in UTF-8) become \u0080 to \u009F. Every other
// byte passes unchanged.
std::string EscapeControls(std::string_view text);

// How much of a text from outside a log line quotes (see Excerpt).
inline constexpr std::size_t kExcerptCharacters = 200;

// A text from outside (a message, a peer's answer, a request's field) as a log line quotes it:
// whole when it has at most limit characters, otherwise its first limit characters followed by
// "... (65536 characters)", its whole length. So a line stays short whatever the peer sends.
// Characters are UTF-8 sequences; a byte that is no UTF-8 counts as one, and the cut never
// splits a sequence. Escaping is LogLine's: the excerpt is the text's own bytes.
std::string Excerpt(std::string_view text, std::size_t limit = kExcerptCharacters);
