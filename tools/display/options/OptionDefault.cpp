#include "OptionDefault.h"

namespace display {

QStringList WithOptionDefault(QStringList arguments, const QString& option,
                              const QString& defaultValue) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] != option) continue;
        const bool bare =
            i + 1 == arguments.size() || arguments[i + 1].startsWith(QLatin1Char('-'));
        if (bare) arguments[i] = option + QLatin1Char('=') + defaultValue;
    }
    return arguments;
}

}  // namespace display
