// Fuzz target: one in-memory MLV file through the block walker, the metadata parser, the frame decoder,
// the DNG writer and the uncompressed shortcut. Any crash, hang or sanitizer report is a bug.
#include "fixes/framecorrector.h"
#include "fixes/streampixelrepairer.h"
#include "io/memorysource.h"
#include "mlv/clipmetadata.h"
#include "mlv/framedecoder.h"
#include "mlv/metadataparser.h"
#include "mlv/mlvreader.h"
#include "output/bitpacker.h"
#include "output/dngwriter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace mlv2dng;

// The converter's shortcut for uncompressed frames (fixed cold pixels repaired in the recorded
// stream, the stream turned into the strip) must give the same strip as unpacking, correcting, packing.
void checkStreamPath(const std::vector<std::uint8_t>& block, const ClipMetadata& metadata, const RawFrame& decoded)
{
    RawFrame description;
    FrameDecoder::Payload payload;
    std::string error;
    if (!FrameDecoder::describe(block.data(), block.size(), metadata, description, payload, error))
        __builtin_trap();  // decode() succeeded on the same block
    FrameCorrector corrector(CorrectionOptions{});
    corrector.prepare(decoded);
    const std::vector<std::uint32_t>* repairs = corrector.onlyRepairs(description);
    if (payload.lossless || !BitPacker::stripIsSwappedStream(description.width, description.bitsPerPixel) || !repairs)
        return;
    std::vector<std::uint8_t> stream(block.begin() + static_cast<std::ptrdiff_t>(payload.offset), block.end());
    StreamPixelRepairer::repair(stream.data(), stream.size(), description, *repairs);
    const std::size_t stripSize =
        BitPacker::stripBytes(description.width, description.height, description.bitsPerPixel);
    BitPacker::stripFromStream(stream.data(), stripSize, description.bitsPerPixel);
    RawFrame corrected = decoded;
    corrector.apply(corrected);
    std::vector<std::uint8_t> strip(stripSize);
    BitPacker::pack(corrected.pixels.data(), corrected.width, corrected.height, corrected.bitsPerPixel, strip.data());
    if (!std::equal(strip.begin(), strip.end(), stream.begin()))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::unique_ptr<ByteSource>> chunks;
    chunks.push_back(std::make_unique<MemorySource>(data, size, "fuzz.MLV"));
    MlvReader reader(std::move(chunks));
    ClipMetadata metadata;
    const FrameDecoder decoder;
    const DngWriter writer("fuzz");
    MlvBlock block;
    int frames = 0;
    while (reader.next(block) == MlvReader::Result::Block) {
        reader.takeWarnings();
        if (block.type == "MLVI") {
            metadata.header = MetadataParser::parseFileHeader(block.bytes.data(), block.bytes.size());
        } else if (block.type == "VIDF" && frames < 4) {
            ++frames;
            RawFrame frame;
            std::string error;
            if (decoder.decode(block.bytes.data(), block.bytes.size(), metadata, frame, error)) {
                const std::vector<std::uint8_t> dng = writer.build(frame, block.timestamp, metadata);
                if (dng.size() < frame.pixels.size())
                    __builtin_trap();  // a strip can never be smaller than one byte per sample at >= 8 bits
                checkStreamPath(block.bytes, metadata, frame);
            }
        } else {
            MetadataParser::apply(block.type, block.bytes.data(), block.bytes.size(), metadata);
        }
    }
    return 0;
}
