// Shows a length of time as a time of day: "H:mm:ss", wrapping after 24 hours.
#pragma once

#include <QString>

namespace DurationText {

// 3725400 gives "1:02:05"; milliseconds are dropped, not rounded.
QString Format(qint64 milliseconds);

}  // namespace DurationText
