#include "pipeline/soundtrack.h"

#include "io/bytecursor.h"

namespace mlv2dng {

void SoundTrack::refuse(const std::string& why)
{
    mReport.error(why);
    mWav.reset();
    mRefused = true;
}

bool SoundTrack::open(const ClipMetadata& metadata)
{
    if (metadata.header.audioClass & 0x80) {
        refuse("LZMA-compressed sound is not supported; sound is not written");
        return false;
    }
    mWav = std::make_unique<WavWriter>(mPath, metadata);
    std::string error;
    if (!mWav->start(error)) {
        refuse(error);
        return false;
    }
    return true;
}

bool SoundTrack::add(const MlvBlock& block, const ClipMetadata& metadata, bool relaxed, std::string& fatal)
{
    if (!metadata.audio.present || mRefused) {
        if (!mOrphanReported && !mRefused)
            mReport.error("audio frame before any WAVI audio format block; sound is not written");
        mOrphanReported = true;
        return true;
    }
    const ByteCursor cursor(block.bytes.data(), block.bytes.size());
    const std::uint32_t frameNumber = cursor.u32(16);
    const std::uint32_t frameSpace = cursor.u32(20);
    if (block.bytes.size() < 24 || frameSpace > block.bytes.size() - 24) {
        const std::string error = "audio frame " + std::to_string(frameNumber) + ": frame space "
                                  + std::to_string(frameSpace) + " is larger than the block";
        if (!relaxed) {
            fatal = error;
            return false;
        }
        mReport.error(error);
        return true;
    }
    if (!mWav && !open(metadata))
        return true;
    std::string error;
    if (!mWav->addFrame(frameNumber, block.timestamp, block.bytes.data() + 24 + frameSpace,
                        block.bytes.size() - 24 - frameSpace, error))
        refuse(error);
    return true;
}

bool SoundTrack::finish(const ClockInfo& clock)
{
    if (!mWav)
        return false;
    std::string error;
    if (mWav->finish(clock, error))
        return true;
    mReport.error(error);
    return false;
}

}  // namespace mlv2dng
