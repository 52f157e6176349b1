// Writes the recording's sound as a Broadcast WAVE file: PCM as recorded, a bext chunk with the start time and an
// iXML chunk with the take and the picture's frame rate.
#pragma once

#include "io/atomicfile.h"
#include "mlv/clipmetadata.h"
#include "output/ixmlchunk.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mlv2dng {

class WavWriter
{
public:
    static constexpr std::size_t kHeaderSize = 12 + 8 + 602 + 8 + IxmlChunk::kSize + 8 + 16 + 8;

    WavWriter(std::string path, const ClipMetadata& metadata);

    bool start(std::string& error);
    // Audio frames land at frameNumber times the first frame's size, so their storage order does not matter.
    bool addFrame(std::uint32_t frameNumber, std::uint64_t timestamp, const std::uint8_t* data, std::size_t size,
                  std::string& error);
    // Fills in the sizes and the start time, then gives the file its final name.
    bool finish(const ClockInfo& clock, std::string& error);

    std::uint64_t dataBytes() const { return mDataEnd; }
    const std::string& path() const { return mFile.finalPath(); }

private:
    std::vector<std::uint8_t> header(const ClockInfo& clock) const;

    AtomicFile mFile;
    const AudioFormat mFormat;
    const std::string mReelName;
    const std::string mIxml;
    std::size_t mUnit = 0;
    std::uint64_t mDataEnd = 0;
    bool mHaveTimestamp = false;
    std::uint64_t mFirstTimestamp = 0;
};

}  // namespace mlv2dng
