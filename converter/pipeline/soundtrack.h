// Collects a recording's audio blocks into its WAV file, or explains once why there is none.
#pragma once

#include "mlv/clipmetadata.h"
#include "mlv/mlvblock.h"
#include "output/wavwriter.h"
#include "pipeline/reporter.h"

#include <memory>
#include <string>

namespace mlv2dng {

class SoundTrack
{
public:
    SoundTrack(std::string path, Reporter& report) : mPath(std::move(path)), mReport(report) {}

    // Why an AUDF block cannot be read, or empty when it can. Checked as the block is read, since a
    // damaged block stops the conversion unless relaxed.
    static std::string damage(const MlvBlock& block);
    // Adds one AUDF block; a damaged one is only reported.
    void add(const MlvBlock& block, const ClipMetadata& metadata);
    // Completes the file; true when a WAV was written.
    bool finish(const ClockInfo& clock);

    const std::string& path() const { return mPath; }
    std::uint64_t dataBytes() const { return mWav ? mWav->dataBytes() : 0; }

private:
    bool open(const ClipMetadata& metadata);
    void refuse(const std::string& why);

    const std::string mPath;
    Reporter& mReport;
    std::unique_ptr<WavWriter> mWav;
    bool mRefused = false;
    bool mOrphanReported = false;
};

}  // namespace mlv2dng
