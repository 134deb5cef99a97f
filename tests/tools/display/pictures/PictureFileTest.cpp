// The shop's pictures as the display reads them: what shows, made how large, and what is
// skipped, and why, without a hang or a crash.

#include "pictures/PictureFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <optional>
#include <string>

#include "support/TempFolder.h"

namespace display {
namespace {

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

// A picture with detail enough that its compressed bytes are many.
QImage Photo(int width, int height, QImage::Format format = QImage::Format_RGB32) {
    QImage image(width, height, format);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (int i = 0; i < 60; ++i) {
        painter.setPen(
            QPen(QColor::fromHsv(i * 6, 255, 255, format == QImage::Format_RGB32 ? 255 : 128), 7));
        painter.drawLine(i * width / 60, 0, width - i * width / 60, height);
    }
    return image;
}

const char kSvg[] =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100">)"
    R"(<rect width="200" height="100" fill="green"/><circle cx="100" cy="50" r="40"/></svg>)";

TEST(PictureFile, ShowsWhatIsAPictureAtMostAScreenLargeAndSaysWhyTheRestIsSkipped) {
    TempFolder folder;
    const QByteArray png = Encoded(Photo(640, 480, QImage::Format_ARGB32), "PNG");
    const QByteArray jpeg = Encoded(Photo(640, 480), "JPEG");
    struct Case {
        const char* name;
        QByteArray bytes;
        PictureLimits limits;
        QByteArray type;  // empty: skipped
        QSize size;       // as kept
        std::string why;  // the start of the reason it is skipped
    };
    const PictureLimits small{1000, 40LL * 1000 * 1000, 1920};
    const PictureLimits fewPixels{20LL * 1000 * 1000, 300 * 200, 1920};
    const Case cases[] = {
        {"a photograph", jpeg, {}, "image/jpeg", {640, 480}, ""},
        {"a PNG with transparency", png, {}, "image/png", {640, 480}, ""},
        {"a photograph wider than a screen",
         Encoded(Photo(4000, 1000), "JPEG"),
         {},
         "image/jpeg",
         {1920, 480},
         ""},
        {"an SVG, drawn at the longest side", kSvg, {}, "image/png", {1920, 960}, ""},
        {"a PNG cut short", png.left(png.size() / 2), {}, "", {}, "damaged"},
        {"a JPEG cut short", jpeg.left(jpeg.size() / 2), {}, "", {}, "damaged"},
        {"a PNG head on other bytes", png.left(40) + QByteArray(400, 'x'), {}, "", {}, "damaged"},
        {"more pixels than allowed", jpeg, fewPixels, "", {}, "larger than 0 megapixels (640x480)"},
        {"more bytes than allowed", jpeg, small, "", {}, "larger than 0 MB"},
        {"a text", "Soldes -20 %\n", {}, "", {}, "not a PNG, JPEG or SVG picture"},
        {"an empty file", "", {}, "", {}, "not a PNG, JPEG or SVG picture"},
    };
    for (const Case& c : cases) {
        const QString path = QString::fromStdString((folder.path() / "picture").string());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.bytes);
        file.close();
        const auto read = ReadPicture(path, c.limits);
        if (c.type.isEmpty()) {
            const auto* why = std::get_if<std::string>(&read);
            ASSERT_NE(why, nullptr) << c.name;
            EXPECT_EQ(why->rfind(c.why, 0), 0U) << c.name << ": " << *why;
            continue;
        }
        const auto* picture = std::get_if<Picture>(&read);
        ASSERT_NE(picture, nullptr) << c.name << ": " << std::get<std::string>(read);
        EXPECT_EQ(picture->type, c.type) << c.name;
        const QImage kept = QImage::fromData(picture->bytes);
        EXPECT_EQ(kept.size(), c.size) << c.name;
        EXPECT_EQ(QSize(picture->width, picture->height), c.size) << c.name;
        EXPECT_EQ(picture->name.size(), 20U) << picture->name;
        EXPECT_TRUE(picture->name.ends_with(c.type == "image/png" ? ".png" : ".jpg"));
    }
}

TEST(PictureFile, ANameFollowsTheContentAndWhatIsNoFileIsRefusedWithoutWaiting) {
    TempFolder folder;
    const auto write = [&folder](const char* name, const QByteArray& bytes) {
        const QString path = QString::fromStdString((folder.path() / name).string());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    };
    const QByteArray red = Encoded(Photo(64, 48), "PNG");
    const auto name = [](const QString& path) {
        const auto read = ReadPicture(path);
        return std::holds_alternative<Picture>(read) ? std::get<Picture>(read).name : "";
    };
    EXPECT_EQ(name(write("a.png", red)), name(write("copy.png", red)));
    EXPECT_NE(name(write("a.png", red)), name(write("b.png", Encoded(Photo(48, 64), "PNG"))));

    // A FIFO would block a plain open until a writer comes: it is refused at once.
    const std::string fifo = (folder.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto fromFifo = ReadPicture(QString::fromStdString(fifo));
    ASSERT_TRUE(std::holds_alternative<std::string>(fromFifo));
    EXPECT_NE(std::get<std::string>(fromFifo).find("not a regular file"), std::string::npos);
    const auto missing = ReadPicture(QString::fromStdString((folder.path() / "none").string()));
    ASSERT_TRUE(std::holds_alternative<std::string>(missing));
    EXPECT_EQ(std::get<std::string>(missing).rfind("cannot be opened", 0), 0U);
}

}  // namespace
}  // namespace display
