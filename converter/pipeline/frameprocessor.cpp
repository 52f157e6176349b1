#include "pipeline/frameprocessor.h"

#include "fixes/streampixelrepairer.h"
#include "output/bitpacker.h"

namespace mlv2dng {

FrameProcessor::FrameProcessor(const ConverterOptions& options, const FrameCorrector& corrector,
                               const DngWriter& writer, unsigned workers)
    : mOptions(options), mCorrector(corrector), mWriter(writer), mDecoder(), mScratch(workers)
{
}

Lj92Encoder::Shape FrameProcessor::jpegShape(const RawFrame& frame)
{
    // Two components a line, one line a row: each component then holds one colour of the row and
    // predicts from its own colour, and every reader maps the lines straight onto the rows. Odd
    // widths cannot be split that way and go as one component.
    const bool paired = frame.width % 2 == 0;
    Lj92Encoder::Shape shape;
    shape.components = paired ? 2 : 1;
    shape.width = paired ? frame.width / 2 : frame.width;
    shape.height = frame.height;
    shape.precision = frame.bitsPerPixel;
    return shape;
}

FrameResult FrameProcessor::process(FrameJob& job, unsigned worker)
{
    FrameResult result;
    result.frameNumber = job.frameNumber;
    if (!job.error.empty()) {
        result.error = job.error;
        return result;
    }
    Scratch& scratch = mScratch[worker];
    RawFrame& frame = scratch.frame;
    if (job.decoded) {
        frame = std::move(job.frame);
    } else {
        if (repairInStream(job, scratch, result))
            return result;
        if (!result.error.empty()
            || !mDecoder.decode(job.block.data(), job.block.size(), *job.metadata, frame, result.error))
            return result;
    }
    mCorrector.apply(frame);
    if (mOptions.compress)
        compressStrip(job, scratch, result);
    else
        packStrip(job, frame, result);
    return result;
}

bool FrameProcessor::repairInStream(FrameJob& job, Scratch& scratch, FrameResult& result) const
{
    RawFrame& frame = scratch.frame;
    FrameDecoder::Payload payload;
    if (!FrameDecoder::describe(job.block.data(), job.block.size(), *job.metadata, frame, payload, result.error))
        return false;
    if (payload.lossless || mOptions.compress || !mOptions.bitpack)
        return false;
    const std::vector<std::uint32_t>* repairs = mCorrector.onlyRepairs(frame);
    const std::size_t area = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    // Pixel by pixel in the stream pays off for a sensor's handful, not for a map of thousands.
    if (!repairs || repairs->size() > area / 1024 + 16
        || !BitPacker::stripIsSwappedStream(frame.width, frame.bitsPerPixel))
        return false;
    if (const FocusPixelFixer* focusPixels = mCorrector.focusPixels())
        focusPixels->applyToStream(job.block.data() + payload.offset, payload.size, frame, scratch.focusPixelRows);
    StreamPixelRepairer::repair(job.block.data() + payload.offset, payload.size, frame, *repairs);
    result.stripSize = BitPacker::stripBytes(frame.width, frame.height, frame.bitsPerPixel);
    BitPacker::stripFromStream(job.block.data() + payload.offset, result.stripSize, frame.bitsPerPixel);
    result.header = mWriter.header(frame, job.timestamp, *job.metadata, DngStrip::packed(frame, frame.bitsPerPixel));
    result.data = std::move(job.block);
    result.stripOffset = payload.offset;
    result.ok = true;
    return true;
}

void FrameProcessor::packStrip(FrameJob& job, const RawFrame& frame, FrameResult& result) const
{
    const int bits = mOptions.bitpack ? frame.bitsPerPixel : 16;
    const DngStrip strip = DngStrip::packed(frame, bits);
    result.header = mWriter.header(frame, job.timestamp, *job.metadata, strip);
    result.stripSize = strip.bytes;
    result.data = std::move(job.block);
    result.data.resize(result.stripSize);
    BitPacker::pack(frame.pixels.data(), frame.width, frame.height, bits, result.data.data());
    result.ok = true;
}

void FrameProcessor::compressStrip(FrameJob& job, Scratch& scratch, FrameResult& result) const
{
    const RawFrame& frame = scratch.frame;
    // The frame's own buffer, read from the clip, has room for the compressed strip most times.
    result.data = std::move(job.block);
    result.stripSize = scratch.encoder.encode(frame.pixels.data(), jpegShape(frame), result.data);
    if (result.stripSize == 0) {
        result.error = "frame " + std::to_string(job.frameNumber) + ": cannot compress a " + std::to_string(frame.width)
                       + "x" + std::to_string(frame.height) + " frame";
        return;
    }
    result.header =
        mWriter.header(frame, job.timestamp, *job.metadata, DngStrip{frame.bitsPerPixel, true, result.stripSize});
    result.ok = true;
}

}  // namespace mlv2dng
