#include "mlv/framedecoder.h"

#include "io/bytecursor.h"
#include "mlv/bitunpacker.h"

#include <algorithm>

namespace mlv2dng {

std::string FrameDecoder::unsupportedVideo(std::uint16_t videoClass)
{
    if (videoClass & kDeltaFlag)
        return "delta-encoded frames are not supported (convert the file back to plain frames first)";
    if (videoClass & kLzmaFlag)
        return "LZMA-compressed frames are not supported (convert the file back to plain frames first)";
    if ((videoClass & 0x1f) != 1)
        return "video class " + std::to_string(videoClass & 0x1f) + " is not raw video";
    return {};
}

bool FrameDecoder::describe(const std::uint8_t* block, std::size_t size, const ClipMetadata& metadata, RawFrame& frame,
                            Payload& payload, std::string& error)
{
    const ByteCursor cursor(block, size);
    frame.frameNumber = cursor.u32(16);
    // Recorders cut frames at columns that are multiples of 8 and at even rows, and store the
    // position they asked for; the cut is what the pixels came from.
    frame.originX = (cursor.u16(24) + 7) / 8 * 8;
    frame.originY = cursor.u16(26) / 2 * 2;
    const std::string where = "frame " + std::to_string(frame.frameNumber);
    if (size < 32) {
        error = where + ": VIDF block of " + std::to_string(size) + " bytes is shorter than its header";
        return false;
    }
    const RawInfo& raw = metadata.raw;
    if (!raw.present) {
        error = where + ": video frame before any RAWI block, its format is unknown";
        return false;
    }
    if (raw.width <= 0 || raw.height <= 0 || raw.bitsPerPixel < 8 || raw.bitsPerPixel > 16) {
        error = where + ": impossible frame format " + std::to_string(raw.width) + "x" + std::to_string(raw.height)
                + " at " + std::to_string(raw.bitsPerPixel) + " bits";
        return false;
    }
    const std::string unsupported = unsupportedVideo(metadata.header.videoClass);
    if (!unsupported.empty()) {
        error = where + ": " + unsupported;
        return false;
    }
    const std::uint32_t frameSpace = cursor.u32(28);
    if (frameSpace > size - 32) {
        error = where + ": frame space " + std::to_string(frameSpace) + " is larger than the block";
        return false;
    }
    payload.offset = 32 + std::size_t{frameSpace};
    payload.size = size - payload.offset;
    payload.lossless = (metadata.header.videoClass & kLosslessFlag) != 0;
    const std::size_t available = payload.size;

    frame.width = raw.width;
    frame.height = raw.height;
    frame.bitsPerPixel = raw.bitsPerPixel;
    const int maximum = (1 << raw.bitsPerPixel) - 1;
    frame.whiteLevel = (raw.whiteLevel <= 0 || raw.whiteLevel > maximum) ? maximum : raw.whiteLevel;
    frame.blackLevel = (raw.blackLevel < 0 || raw.blackLevel >= frame.whiteLevel) ? 0 : raw.blackLevel;
    // The recorders keep the sensor's RGGB phase; a pattern field with other values is ignored.
    const std::uint32_t pattern = raw.cfaPattern;
    bool validPattern = pattern != 0;
    for (int i = 0; i < 4; ++i)
        validPattern = validPattern && ((pattern >> (8 * i)) & 0xff) <= CfaBlue;
    frame.cfa = {{CfaRed, CfaGreen, CfaGreen, CfaBlue}};
    if (validPattern) {
        for (std::size_t i = 0; i < 4; ++i)
            frame.cfa[i] = static_cast<std::uint8_t>((pattern >> (8 * i)) & 0xff);
    }

    const std::size_t count = static_cast<std::size_t>(raw.width) * static_cast<std::size_t>(raw.height);
    if (payload.lossless) {
        // Every sample costs at least one bit of code, so a short stream cannot hold a huge frame:
        // this bounds what the decoder may allocate by the bytes actually present.
        if (count / 8 > available) {
            error = where + ": " + std::to_string(available) + " bytes of lossless data cannot hold "
                    + std::to_string(count) + " samples";
            return false;
        }
        return true;
    }
    const std::size_t needed = BitUnpacker::packedSize(count, raw.bitsPerPixel);
    if (available < needed) {
        error = where + ": VIDF block holds " + std::to_string(available) + " bytes of pixel data, the frame needs "
                + std::to_string(needed);
        return false;
    }
    return true;
}

bool FrameDecoder::decode(const std::uint8_t* block, std::size_t size, const ClipMetadata& metadata, RawFrame& frame,
                          std::string& error) const
{
    Payload payload;
    if (!describe(block, size, metadata, frame, payload, error))
        return false;
    const std::uint8_t* data = block + payload.offset;
    const std::size_t count = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    if (payload.lossless) {
        Lj92Image image;
        image.samples = std::move(frame.pixels);  // the decoder reuses its capacity
        std::string reason;
        if (!mLossless.decode(data, payload.size, count, image, reason)) {
            error = "frame " + std::to_string(frame.frameNumber) + ": lossless data cannot be decoded: " + reason;
            return false;
        }
        return placeLosslessSamples(std::move(image), frame, error);
    }
    frame.pixels.resize(count);
    const std::size_t used = std::min(payload.size, BitUnpacker::wordAlignedSize(count, frame.bitsPerPixel));
    BitUnpacker::unpack(data, used, count, frame.bitsPerPixel, frame.pixels.data());
    return true;
}

bool FrameDecoder::placeLosslessSamples(Lj92Image&& image, RawFrame& frame, std::string& error)
{
    const std::size_t count = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    const std::string where = "frame " + std::to_string(frame.frameNumber);
    if (image.samples.size() != count) {
        error = where + ": lossless data holds " + std::to_string(image.samples.size()) + " samples, the frame has "
                + std::to_string(count);
        return false;
    }
    if (image.precision > frame.bitsPerPixel) {
        error = where + ": lossless data has " + std::to_string(image.precision) + "-bit samples in a "
                + std::to_string(frame.bitsPerPixel) + "-bit recording";
        return false;
    }
    // Stream order (lines, components interleaved) is the raster order of the frame.
    frame.pixels = std::move(image.samples);
    return true;
}

}  // namespace mlv2dng
