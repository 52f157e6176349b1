// What one conversion is asked to do; filled by the command line, read by the converter.
#pragma once

#include "fixes/framecorrector.h"

#include <string>

namespace mlv2dng {

struct ConverterOptions
{
    std::string input;
    std::string prefix;  // empty: the input path without its extension, plus "_"
    bool dng = false;
    bool verbose = false;
    bool relaxed = false;
    CorrectionOptions corrections;
};

}  // namespace mlv2dng
