#include "ui/durationtext.h"

#include <QTime>

namespace DurationText {

QString Format(qint64 milliseconds)
{
    // addMSecs takes an int and wraps around midnight; reduce first so long runs wrap the same way.
    constexpr qint64 kDay = 24LL * 60 * 60 * 1000;
    qint64 withinDay = milliseconds % kDay;
    if (withinDay < 0)
        withinDay += kDay;
    return QTime(0, 0).addMSecs(static_cast<int>(withinDay)).toString(QStringLiteral("H:mm:ss"));
}

}  // namespace DurationText
