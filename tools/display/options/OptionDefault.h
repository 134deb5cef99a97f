#pragma once
// Options whose value may be left out (--lcdproc, --http). QCommandLineParser knows only
// options that always or never take a value, so a bare one is given its default value before
// the command line is parsed.

#include <QString>
#include <QStringList>

namespace display {

// arguments (the program's name first) with every bare option (last, or followed by another
// option) written as option=defaultValue. option is given with its dashes ("--http"); an
// option followed by a value, or written with '=', is left as it is.
QStringList WithOptionDefault(QStringList arguments, const QString& option,
                              const QString& defaultValue);

}  // namespace display
