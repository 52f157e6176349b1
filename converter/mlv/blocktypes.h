// The MLV block types mlv2dng knows, grouped by what it does with them; the walker and the parser share these lists.
#pragma once

#include <array>
#include <string_view>

namespace mlv2dng::BlockTypes {

constexpr std::string_view kFileHeader = "MLVI";
constexpr std::string_view kVideoFrame = "VIDF";
constexpr std::string_view kAudioFrame = "AUDF";

// Blocks whose fields MetadataParser keeps in ClipMetadata.
constexpr std::array<std::string_view, 11> kMetadata{"RAWI", "EXPO", "LENS", "RTCI", "IDNT", "WBAL",
                                                     "RAWC", "DISO", "WAVI", "INFO", "VERS"};
// Blocks of the format that are read whole but hold nothing a DNG or WAV file needs.
constexpr std::array<std::string_view, 5> kUnused{"MARK", "STYL", "ELVL", "DEBG", "XREF"};

inline bool isMetadata(std::string_view type)
{
    for (const std::string_view known : kMetadata) {
        if (type == known)
            return true;
    }
    return false;
}

// Any block of the format; the rest (padding such as NULL, and types from newer recorders) is skipped unread.
inline bool isKnown(std::string_view type)
{
    if (type == kFileHeader || type == kVideoFrame || type == kAudioFrame || isMetadata(type))
        return true;
    for (const std::string_view known : kUnused) {
        if (type == known)
            return true;
    }
    return false;
}

}  // namespace mlv2dng::BlockTypes
