#pragma once
// The shop's logo and pictures (--logo FILE, --pictures DIR), read on a thread of their own
// at start so that the display shows its board and takes messages meanwhile; then kept, by
// name, for the window and the page. A file that cannot be a picture is skipped with one line
// on stderr naming it and why; the others show. The folder's pictures go by their file names'
// order (01-offer.jpg before 02-...), at most kMostPictures of them. Lives on the thread that
// made it; the reading thread ends with it.

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "PictureFile.h"

namespace display {

class PictureShelf : public QObject {
    Q_OBJECT

  public:
    static constexpr int kMostPictures = 200;

    // Called once all are read, on the shelf's thread: the logo's name (empty when there is
    // none) and the pictures' names, in order.
    using Loaded = std::function<void(std::string logo, std::vector<std::string> pictures)>;

    // Starts reading logo (a file; empty for none) and the pictures in folder (empty for
    // none).
    PictureShelf(QString logo, QString folder, Loaded loaded, PictureLimits limits = {},
                 QObject* parent = nullptr);
    ~PictureShelf() override;
    PictureShelf(const PictureShelf&) = delete;
    PictureShelf& operator=(const PictureShelf&) = delete;

    // A picture read, by its name; null when there is none of that name (or not yet).
    const Picture* Find(const std::string& name) const;

  private:
    struct Read {
        std::string logo;
        std::vector<Picture> pictures;  // the logo, if any, first
    };
    static Read ReadAll(const QString& logo, const QString& folder, const PictureLimits& limits,
                        const std::stop_token& stop);
    void Take(Read read);

    Loaded loaded_;
    std::map<std::string, Picture, std::less<>> byName_;
    std::jthread reader_;  // last: starts once the rest is made
};

}  // namespace display
