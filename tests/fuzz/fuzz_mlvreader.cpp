// Fuzz target: one in-memory MLV file through the block walker, the metadata parser, the frame decoder
// and the DNG writer. Any crash, hang or sanitizer report is a bug.
#include "clipmetadata.h"
#include "dngwriter.h"
#include "framedecoder.h"
#include "memorysource.h"
#include "metadataparser.h"
#include "mlvreader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace mlv2dng;
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
            }
        } else {
            MetadataParser::apply(block.type, block.bytes.data(), block.bytes.size(), metadata);
        }
    }
    return 0;
}
