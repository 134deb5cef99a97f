#pragma once
// One of the shop's pictures (its logo, or a picture of its folder), read and checked for the
// display. A picture is kept as the page gets it: decoded once, made no larger than a screen
// needs, and encoded again (JPEG, or PNG when it has transparency), so that neither the page
// nor the window ever sees the shop's file itself, and a folder of photographs costs their
// compressed size in memory, not their pixels. Its name comes from those bytes, so a browser
// may keep it for good.
//
// Reading is slow (a photograph takes a tenth of a second to decode): call it off the thread
// that takes messages. A file that is not a picture, is damaged or too large is refused with
// the reason, never a crash or a hang: it is opened without waiting (a FIFO is refused, not
// waited on), its size is checked before it is read and its pixels before they are decoded.
// Safe to call from any thread.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <variant>

namespace display {

struct PictureLimits {
    std::int64_t maxBytes = 20LL * 1000 * 1000;   // the file
    std::int64_t maxPixels = 40LL * 1000 * 1000;  // its width times its height
    int longestSide = 1920;                       // what is kept, in pixels
};

struct Picture {
    std::string name;  // "3f2a9c0e1d4b5a67.jpg": its bytes' hash and their kind
    QByteArray bytes;  // JPEG or PNG
    QByteArray type;   // "image/jpeg" or "image/png"
    int width = 0;
    int height = 0;
};

// The PNG, JPEG or SVG file at path as a picture; otherwise why it cannot be one, a phrase
// for a log line ("not a PNG, JPEG or SVG picture", "damaged: ...", "larger than 20 MB",
// "larger than 40 megapixels (10000x5000)", "cannot be opened: ..."). An SVG is drawn at the
// longest side; a larger picture is made smaller to it, a smaller one kept as it is.
std::variant<Picture, std::string> ReadPicture(const QString& path,
                                               const PictureLimits& limits = {});

}  // namespace display
