// A video frame on its way through the pipeline, and what became of it.
#pragma once

#include "mlv/clipmetadata.h"
#include "mlv/rawframe.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mlv2dng {

struct FrameJob
{
    std::uint64_t sequence = 0;  // position in file order, set by the pipeline
    std::uint32_t frameNumber = 0;
    std::uint64_t timestamp = 0;
    std::vector<std::uint8_t> block;  // the whole VIDF block
    std::shared_ptr<const ClipMetadata> metadata;
    bool decoded = false;  // the first frame arrives decoded, since it also trained the corrector
    RawFrame frame;
    std::string error;  // set when the frame already failed
};

struct FrameResult
{
    std::uint64_t sequence = 0;
    std::uint32_t frameNumber = 0;
    bool ok = false;
    std::string error;
    // The finished DNG: header, then stripSize bytes of data from stripOffset on. The strip stays
    // in the buffer the frame was read into, which goes back to the reader afterwards.
    std::vector<std::uint8_t> header;
    std::vector<std::uint8_t> data;
    std::size_t stripOffset = 0;
    std::size_t stripSize = 0;
};

}  // namespace mlv2dng
