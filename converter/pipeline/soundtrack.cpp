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

std::string SoundTrack::damage(const MlvBlock& block)
{
    const ByteCursor cursor(block.bytes.data(), block.bytes.size());
    const std::uint32_t frameSpace = cursor.u32(20);
    if (block.bytes.size() >= 24 && frameSpace <= block.bytes.size() - 24)
        return std::string();
    return "audio frame " + std::to_string(cursor.u32(16)) + ": frame space " + std::to_string(frameSpace)
           + " is larger than the block";
}

void SoundTrack::add(const MlvBlock& block, const ClipMetadata& metadata)
{
    if (!metadata.audio.present || mRefused) {
        if (!mOrphanReported && !mRefused)
            mReport.error("audio frame before any WAVI audio format block; sound is not written");
        mOrphanReported = true;
        return;
    }
    const std::string damaged = damage(block);
    if (!damaged.empty()) {
        mReport.error(damaged);
        return;
    }
    if (!mWav && !open(metadata))
        return;
    const ByteCursor cursor(block.bytes.data(), block.bytes.size());
    const std::uint32_t frameSpace = cursor.u32(20);
    std::string error;
    if (!mWav->addFrame(cursor.u32(16), block.timestamp, block.bytes.data() + 24 + frameSpace,
                        block.bytes.size() - 24 - frameSpace, error))
        refuse(error);
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
