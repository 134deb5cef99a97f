#include "PictureFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/FileDescriptor.h"

namespace display {

namespace {

// The file's bytes, read without waiting on anything that is not a regular file.
std::variant<QByteArray, std::string> ReadBytes(const QString& path, std::int64_t maxBytes) {
    const QByteArray native = path.toLocal8Bit();
    platform::Fd file(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) return "cannot be opened: " + std::string(std::strerror(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::string("not a PNG, JPEG or SVG picture (not a regular file)");
    if (status.st_size > maxBytes)
        return "larger than " + std::to_string(maxBytes / 1000 / 1000) + " MB";
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(status.st_size) + 1);
    qsizetype have = 0;
    // Bounded: a file that grows while it is read is taken up to its size at the start.
    while (have < bytes.size()) {
        const ssize_t got =
            ::read(file.get(), bytes.data() + have, static_cast<std::size_t>(bytes.size() - have));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return "cannot be read: " + std::string(std::strerror(errno));
        if (got == 0) break;
        have += got;
    }
    if (have > status.st_size)
        return "larger than " + std::to_string(maxBytes / 1000 / 1000) + " MB";
    bytes.resize(have);
    return bytes;
}

bool LooksLikeSvg(const QByteArray& bytes) {
    const QByteArray head = bytes.left(4096).trimmed();
    return (head.startsWith("<?xml") || head.startsWith("<svg") || head.startsWith("<!--")) &&
           head.contains("<svg");
}

// A JPEG cut short still decodes, its missing part grey: one whose last scan does not end is
// damaged. (Inside a scan 0xFF is always followed by 0x00 or a restart marker, so the bytes of
// the markers cannot stand there.)
bool JpegComplete(const QByteArray& bytes) {
    const qsizetype scan = bytes.lastIndexOf(QByteArrayView("\xFF\xDA", 2));
    return scan >= 0 && bytes.lastIndexOf(QByteArrayView("\xFF\xD9", 2)) > scan;
}

QSize Within(QSize size, int longestSide) {
    if (size.width() <= longestSide && size.height() <= longestSide) return size;
    return size.scaled(longestSide, longestSide, Qt::KeepAspectRatio);
}

std::variant<QImage, std::string> DecodeSvg(const QByteArray& bytes, int longestSide) {
    QSvgRenderer renderer(bytes);
    if (!renderer.isValid()) return std::string("damaged: not a drawing SVG can show");
    QSize size = renderer.defaultSize();
    if (size.isEmpty()) size = QSize(longestSide, longestSide);
    size = size.scaled(longestSide, longestSide, Qt::KeepAspectRatio);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

std::variant<QImage, std::string> DecodeRaster(const QByteArray& bytes, const QByteArray& format,
                                               const PictureLimits& limits) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);     // a photograph's own orientation
    const QSize size = reader.size();  // from the header alone
    if (!size.isValid() || size.isEmpty()) return std::string("damaged: no size in its header");
    const std::int64_t pixels = std::int64_t{size.width()} * size.height();
    if (pixels > limits.maxPixels)
        return "larger than " + std::to_string(limits.maxPixels / 1000 / 1000) + " megapixels (" +
               std::to_string(size.width()) + "x" + std::to_string(size.height()) + ")";
    if (format == "jpeg" && !JpegComplete(bytes))
        return std::string("damaged: the picture's data ends too soon");
    // JPEG decodes straight to the smaller size.
    reader.setScaledSize(Within(size, limits.longestSide));
    QImage image = reader.read();
    if (image.isNull()) return "damaged: " + reader.errorString().toStdString();
    return image;
}

}  // namespace

std::variant<Picture, std::string> ReadPicture(const QString& path, const PictureLimits& limits) {
    auto read = ReadBytes(path, limits.maxBytes);
    if (auto* why = std::get_if<std::string>(&read)) return *why;
    const QByteArray& bytes = std::get<QByteArray>(read);

    QBuffer probe;
    probe.setData(bytes);
    probe.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&probe);
    std::variant<QImage, std::string> decoded;
    if (format == "png" || format == "jpeg") {
        decoded = DecodeRaster(bytes, format, limits);
    } else if (LooksLikeSvg(bytes)) {
        decoded = DecodeSvg(bytes, limits.longestSide);
    } else {
        return std::string("not a PNG, JPEG or SVG picture");
    }
    if (auto* why = std::get_if<std::string>(&decoded)) return *why;
    const QImage& image = std::get<QImage>(decoded);

    Picture picture;
    picture.width = image.width();
    picture.height = image.height();
    const bool png = image.hasAlphaChannel();
    QBuffer out(&picture.bytes);
    out.open(QIODevice::WriteOnly);
    if (!image.save(&out, png ? "PNG" : "JPEG", png ? -1 : 90))
        return std::string("damaged: cannot be encoded again");
    picture.type = png ? "image/png" : "image/jpeg";
    picture.name = QCryptographicHash::hash(picture.bytes, QCryptographicHash::Sha256)
                       .toHex()
                       .left(16)
                       .toStdString() +
                   (png ? ".png" : ".jpg");
    return picture;
}

}  // namespace display
