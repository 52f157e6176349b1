// The iXML text of a Broadcast WAVE file: the take's scene and number and the picture's frame rate, which editors
// read to line the sound up with the DNG sequence.
#pragma once

#include <cstdint>
#include <string>

namespace mlv2dng {

class IxmlChunk
{
public:
    static constexpr std::size_t kSize = 1024;

    // The XML, padded with spaces to kSize bytes.
    static std::string text(std::uint32_t fpsNumerator, std::uint32_t fpsDenominator, const std::string& info);
    // The name that follows a word such as "scene" or "take" in the clip's INFO text ("scene 2A" gives "2A"),
    // or "1" where the text has none.
    static std::string field(const std::string& info, const std::string& word);
};

}  // namespace mlv2dng
