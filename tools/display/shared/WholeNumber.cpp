#include "WholeNumber.h"

namespace display {

std::optional<qint64> WholeNumber(QStringView text, qint64 least, qint64 most) {
    constexpr qsizetype kMostDigits = 18;  // beyond it a qint64 could overflow
    if (text.isEmpty() || text.size() > kMostDigits) return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c.unicode() < u'0' || c.unicode() > u'9') return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < least || value > most) return std::nullopt;
    return value;
}

}  // namespace display
