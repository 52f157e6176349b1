// The converter options that Korvalin passes, spelled once for its command line builder and mlv2dng's parser.
#pragma once

// Plain C++ without Qt: the window's engine includes this too (CMake target mlv2dng_optionspellings).

#include <array>
#include <cstddef>

namespace mlv2dng::spelling {

inline constexpr const char* kOutput = "-o";
inline constexpr const char* kVerbose = "-v";
inline constexpr const char* kRelaxed = "--relaxed";
inline constexpr const char* kDng = "--dng";
inline constexpr const char* kCompress = "-c";
inline constexpr const char* kNoColdPixels = "--no-fixcp";
inline constexpr const char* kMovingColdPixels = "--fixcp2";
inline constexpr const char* kNoStripes = "--no-stripes";

// Chroma smoothing as Korvalin stores it, codes 0 to 3, and the word behind "--" for each.
inline constexpr std::array<const char*, 4> kChromaWords{{"no-cs", "cs2x2", "cs3x3", "cs5x5"}};
// The smoothing window of each code, 0 for none.
inline constexpr std::array<int, 4> kChromaWindows{{0, 2, 3, 5}};

// Codes outside 1 to 3 mean no smoothing.
constexpr const char* chromaWord(int code)
{
    return code >= 1 && code <= 3 ? kChromaWords[static_cast<std::size_t>(code)] : kChromaWords[0];
}

}  // namespace mlv2dng::spelling
