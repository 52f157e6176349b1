// What one conversion is asked to do; filled by the command line, read by the converter.
#pragma once

#include "fixes/framecorrector.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mlv2dng {

struct ConverterOptions
{
    std::string input;
    std::string prefix;  // empty: the input path without its extension, plus "_"
    bool dng = false;
    bool verbose = false;
    bool relaxed = false;
    bool compress = false;  // lossless-JPEG image data
    bool bitpack = true;    // false: 16-bit samples whatever the recorded depth
    bool audio = true;
    bool showProgress = false;     // a progress line on standard error, when that is a terminal
    unsigned workers = 0;          // threads that process frames; 0: one per core
    std::uint32_t firstFrame = 0;  // frame numbers to convert, inclusive
    std::uint32_t lastFrame = 0xffffffffu;
    std::uint32_t fpsTimes1000 = 0;  // the frame rate written into the DNGs; 0: as recorded
    std::optional<int> blackLevel;   // at 14 bits, scaled to the recorded depth
    std::optional<int> whiteLevel;
    CorrectionOptions corrections;
};

}  // namespace mlv2dng
