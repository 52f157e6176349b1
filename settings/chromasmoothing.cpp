#include "settings/chromasmoothing.h"

namespace ChromaSmoothing {

QString CodeToText(int code)
{
    switch (code) {
    case 1: return QStringLiteral("cs2x2");
    case 2: return QStringLiteral("cs3x3");
    case 3: return QStringLiteral("cs5x5");
    default: return QStringLiteral("no-cs");
    }
}

int TextToCode(const QString& text)
{
    if (text == QLatin1String("cs2x2"))
        return 1;
    if (text == QLatin1String("cs3x3"))
        return 2;
    if (text == QLatin1String("cs5x5"))
        return 3;
    return 0;
}

}  // namespace ChromaSmoothing
