// The one place that turns chroma smoothing codes into their stored texts and back.
#pragma once

#include <QString>

namespace ChromaSmoothing {

// 1, 2, 3 give "cs2x2", "cs3x3", "cs5x5"; every other code gives "no-cs".
QString CodeToText(int code);

// Exact, case-sensitive match of "cs2x2", "cs3x3", "cs5x5"; any other text gives 0.
int TextToCode(const QString& text);

}  // namespace ChromaSmoothing
