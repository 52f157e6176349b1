#include "settings/chromasmoothing.h"

#include "cli/optionspellings.h"

namespace ChromaSmoothing {

QString CodeToText(int code)
{
    return QLatin1String(mlv2dng::spelling::chromaWord(code));
}

int TextToCode(const QString& text)
{
    for (int code = 1; code < int(mlv2dng::spelling::kChromaWords.size()); ++code) {
        if (text == QLatin1String(mlv2dng::spelling::kChromaWords[std::size_t(code)]))
            return code;
    }
    return 0;
}

}  // namespace ChromaSmoothing
