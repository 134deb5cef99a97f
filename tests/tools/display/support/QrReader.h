#pragma once
// Reads back the QR codes a test's picture shows, with zbarimg (zbar-tools), as a phone's
// reader would: the payload's bytes exactly as decoded, no character set conversion. Test
// helper; every run is bounded in time.

#include <unistd.h>

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <optional>
#include <string>

namespace displaytest {

inline constexpr const char* kZbarimg = "/usr/bin/zbarimg";

inline bool HaveQrReader() {
    return ::access(kZbarimg, X_OK) == 0;
}

// The payload of the QR code in the picture at path (a PNG), its bytes as decoded; empty when
// zbarimg finds no code; nullopt when zbarimg could not be run or took over 20 s.
inline std::optional<std::string> ReadQrCodeIn(const QString& path) {
    QProcess zbar;
    // --raw and binary: the bytes as they are, no guess at a character set.
    zbar.start(QString::fromLatin1(kZbarimg),
               {"--quiet", "--raw", "-Sbinary", "-Sdisable", "-Sqrcode.enable", path});
    if (!zbar.waitForFinished(20000)) {
        zbar.kill();
        zbar.waitForFinished(2000);
        return std::nullopt;
    }
    // 0: a code found; 4: none.
    if (zbar.exitStatus() != QProcess::NormalExit || (zbar.exitCode() != 0 && zbar.exitCode() != 4))
        return std::nullopt;
    return zbar.readAllStandardOutput().toStdString();
}

}  // namespace displaytest
