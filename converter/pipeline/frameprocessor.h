// Turns one video frame into a finished DNG in memory: decode, correct, then pack or compress its strip.
#pragma once

#include "fixes/framecorrector.h"
#include "ljpeg/lj92encoder.h"
#include "mlv/framedecoder.h"
#include "output/dngwriter.h"
#include "pipeline/converteroptions.h"
#include "pipeline/framejob.h"

#include <vector>

namespace mlv2dng {

class FrameProcessor
{
public:
    // The corrector must be prepared before the first process(); workers is the pipeline's thread count.
    FrameProcessor(const ConverterOptions& options, const FrameCorrector& corrector, const DngWriter& writer,
                   unsigned workers);

    // Called on pipeline worker number worker, one frame at a time per worker.
    FrameResult process(FrameJob& job, unsigned worker);

    // How the frame's samples go into the DNG with these options.
    static Lj92Encoder::Shape jpegShape(const RawFrame& frame);

private:
    struct Scratch
    {
        RawFrame frame;
        Lj92Encoder encoder;
        std::vector<std::uint16_t> focusPixelRows;
    };

    // Repairs the few known bad pixels in the recorded stream, which then becomes the strip where it
    // lies; false when this frame needs more than that.
    bool repairInStream(FrameJob& job, Scratch& scratch, FrameResult& result) const;
    void packStrip(FrameJob& job, const RawFrame& frame, FrameResult& result) const;
    void compressStrip(FrameJob& job, Scratch& scratch, FrameResult& result) const;

    const ConverterOptions& mOptions;
    const FrameCorrector& mCorrector;
    const DngWriter& mWriter;
    const FrameDecoder mDecoder;
    std::vector<Scratch> mScratch;
};

}  // namespace mlv2dng
