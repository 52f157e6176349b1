// Korvalin's name, version and About text, as the title bar and the About box show them.
#pragma once

#include <QString>

namespace ProgramIdentity {

// "Korvalin 0.9.9.0 beta"
QString Heading();

// The whole text of the About box, heading first, without a trailing newline.
QString AboutText();

}  // namespace ProgramIdentity
