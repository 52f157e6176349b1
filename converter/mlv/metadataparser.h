// Decodes the fields of header and metadata blocks into ClipMetadata; short blocks read as zero-padded.
#pragma once

#include "mlv/clipmetadata.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace mlv2dng {

class MetadataParser
{
public:
    // Applies one whole block (header included) to the metadata. Returns false for block types
    // it does not hold state for; the caller decides whether that matters.
    static bool apply(const std::string& type, const std::uint8_t* block, std::size_t size, ClipMetadata& metadata);

    static bool handles(const std::string& type);
    static FileHeaderInfo parseFileHeader(const std::uint8_t* block, std::size_t size);
};

}  // namespace mlv2dng
