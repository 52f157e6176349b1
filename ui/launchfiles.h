// Reads the files given to `korvalin FILE...`, as "Open with" in a file manager passes them.
#pragma once

#include <QStringList>

namespace LaunchFiles {

// The paths after the program name, made absolute against the working folder. Prints the usage and
// ends the process for --help, and for an unknown option.
QStringList FromArguments(const QStringList& arguments);

// Prints the version for --version and returns true. Needs no application object, so it answers where
// there is no display, as korvalin-batch does.
bool PrintVersionIfAsked(int argc, char* argv[]);

}  // namespace LaunchFiles
