#include "mlv/mlvreader.h"

#include "io/bytecursor.h"
#include "mlv/blocktypes.h"

#include <sstream>

namespace mlv2dng {

namespace {

bool isPrintableFourCc(const std::uint8_t* p)
{
    for (int i = 0; i < 4; ++i) {
        if (p[i] < 0x20 || p[i] > 0x7e)
            return false;
    }
    return true;
}

std::string describeType(const std::uint8_t* p)
{
    if (isPrintableFourCc(p))
        return std::string(reinterpret_cast<const char*>(p), 4);
    std::ostringstream hex;
    hex << "0x" << std::hex;
    for (int i = 0; i < 4; ++i)
        hex << static_cast<int>(p[i] >> 4) << static_cast<int>(p[i] & 15);
    return hex.str();
}

}  // namespace

MlvReader::MlvReader(std::vector<std::unique_ptr<ByteSource>> chunks) : mChunks(std::move(chunks))
{
    if (!mChunks.empty())
        mReader = std::make_unique<BufferedReader>(*mChunks.front());
}

std::vector<std::string> MlvReader::takeWarnings()
{
    std::vector<std::string> warnings;
    warnings.swap(mWarnings);
    return warnings;
}

MlvReader::Result MlvReader::fail(const std::string& message)
{
    mError = message;
    mDone = true;
    return Result::Error;
}

bool MlvReader::keepsBody(const std::string& type) const
{
    // Padding and unknown blocks are skipped unread; everything else is small or a frame.
    return BlockTypes::isKnown(type);
}

MlvReader::Result MlvReader::next(MlvBlock& block)
{
    if (mDone)
        return mError.empty() ? Result::End : Result::Error;

    while (mReader->remaining() == 0) {
        if (mReader->failed())
            return fail("cannot read '" + mChunks[mChunk]->name() + "'");
        if (mChunk == 0 && mAtChunkStart)
            return fail("'" + mChunks[0]->name() + "' is empty");
        if (mAtChunkStart)
            return fail("'" + mChunks[mChunk]->name() + "' is empty");
        if (++mChunk >= mChunks.size()) {
            mDone = true;
            return Result::End;
        }
        mReader = std::make_unique<BufferedReader>(*mChunks[mChunk]);
        mAtChunkStart = true;
    }

    const std::string& name = mChunks[mChunk]->name();
    const std::uint64_t offset = mReader->position();
    const bool lastChunk = mChunk + 1 == mChunks.size();
    std::uint8_t head[16] = {};
    if (mReader->remaining() < 8) {
        mCutShort = lastChunk;
        std::ostringstream m;
        m << "'" << name << "' ends inside a block header at offset " << offset << " (file truncated?)";
        return fail(m.str());
    }
    if (!mReader->readExact(head, 8))
        return fail("cannot read the block header at offset " + std::to_string(offset) + " in '" + name + "'");
    const std::string type = describeType(head);
    const std::uint32_t size = ByteCursor(head, 8).u32(4);

    if (mAtChunkStart && type != BlockTypes::kFileHeader)
        return fail("'" + name + "' does not start with an MLVI file header (found " + type + ")");
    if (size < kMinBlockSize || size > kMaxBlockSize) {
        std::ostringstream m;
        m << "invalid block size " << size << " for " << type << " at offset " << offset << " in '" << name << "'";
        return fail(m.str());
    }
    if (size - 8 > mReader->remaining()) {
        mCutShort = lastChunk;
        std::ostringstream m;
        m << type << " block at offset " << offset << " in '" << name << "' runs past the end of the file (" << size
          << " bytes, " << (mReader->remaining() + 8) << " left)";
        return fail(m.str());
    }

    block.type = type;
    block.chunk = mChunk;
    block.offset = offset;
    block.size = size;
    const bool wholeBlock = keepsBody(type);
    // Every byte is read over below, so a buffer handed back from an earlier frame is not cleared.
    block.bytes.resize(wholeBlock ? size : kMinBlockSize);
    std::copy(head, head + 8, block.bytes.begin());
    const bool ok = wholeBlock ? mReader->readExact(block.bytes.data() + 8, size - 8)
                               : (mReader->readExact(block.bytes.data() + 8, 8) && mReader->skip(size - 16));
    if (!ok)
        return fail("cannot read the " + type + " block at offset " + std::to_string(offset) + " in '" + name + "'");

    // The file header has no timestamp: bytes 8 to 15 are its version string.
    const bool fileHeader = type == BlockTypes::kFileHeader;
    block.timestamp = fileHeader ? 0 : ByteCursor(block.bytes.data(), block.bytes.size()).u64(8);
    if (fileHeader) {
        const std::uint64_t guid = ByteCursor(block.bytes.data(), block.bytes.size()).u64(16);
        if (!mHaveGuid) {
            mHaveGuid = true;
            mGuid = guid;
        } else if (guid != mGuid) {
            mWarnings.push_back("'" + name
                                + "' belongs to another recording (its GUID differs from the first chunk's)");
        }
    }
    mAtChunkStart = false;
    return Result::Block;
}

}  // namespace mlv2dng
