#pragma once
// The numbers the command line, the configuration file and the allow list take: ASCII digits
// only. Qt's own conversions also take blanks, a sign and, through QChar::isDigit, the digits
// of other scripts ("８", "٣"), which a check of the digits followed by toInt() turned into 0.

#include <QStringView>

#include <optional>

namespace display {

// The whole number text writes in ASCII digits alone (no sign, no blank), when it is from least
// to most; nothing otherwise.
std::optional<qint64> WholeNumber(QStringView text, qint64 least, qint64 most);

}  // namespace display
