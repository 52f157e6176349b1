// Reads the files given to `korvalin FILE...`, as "Open with" in a file manager passes them.
#pragma once

#include <QStringList>

namespace LaunchFiles {

// The paths after the program name, made absolute against the working folder. Prints the usage and
// ends the process for --help, --version, and for an unknown option.
QStringList FromArguments(const QStringList& arguments);

}  // namespace LaunchFiles
