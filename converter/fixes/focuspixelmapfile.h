// Reads a user's focus-pixel map: an optional "#FPM <camera model in hex>" first line, then one "X Y"
// position per line in buffer coordinates, separated by spaces or tabs; words after Y, blank lines and
// lines starting with '#' are ignored. Anything else is an error naming its line.
#pragma once

#include "fixes/focuspixelposition.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mlv2dng {

class FocusPixelMapFile
{
public:
    struct Contents
    {
        std::uint32_t model = 0;  // 0: the file names no camera
        std::vector<FocusPixelPosition> positions;
        int badLine = 0;  // the first line that is not a position, counted from 1; 0 when all are
        std::string badText;
    };

    static Contents parse(const std::string& text);
};

}  // namespace mlv2dng
