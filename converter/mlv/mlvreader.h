// Walks the blocks of an MLV recording, chunk after chunk, checking every size before it is used.
#pragma once

#include "io/bufferedreader.h"
#include "io/bytesource.h"
#include "mlv/mlvblock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mlv2dng {

class MlvReader
{
public:
    static constexpr std::uint32_t kMinBlockSize = 16;
    static constexpr std::uint32_t kMaxBlockSize = 50u * 1024u * 1024u;

    explicit MlvReader(std::vector<std::unique_ptr<ByteSource>> chunks);

    enum class Result { Block, End, Error };
    // Reads the next block. After Error, error() holds the reason and the walk is over.
    Result next(MlvBlock& block);

    const std::string& error() const { return mError; }
    // After Error: the last chunk ends inside a block, as a recording ends when the card fills or the
    // battery dies; every block before it is whole.
    bool cutShort() const { return mCutShort; }
    // Problems that do not stop the walk (a chunk of another recording); cleared by the call.
    std::vector<std::string> takeWarnings();

    std::size_t chunkCount() const { return mChunks.size(); }
    const ByteSource& chunk(std::size_t index) const { return *mChunks[index]; }

private:
    Result fail(const std::string& message);
    bool keepsBody(const std::string& type) const;

    std::vector<std::unique_ptr<ByteSource>> mChunks;
    std::unique_ptr<BufferedReader> mReader;
    std::size_t mChunk = 0;
    bool mAtChunkStart = true;
    bool mHaveGuid = false;
    std::uint64_t mGuid = 0;
    bool mDone = false;
    bool mCutShort = false;
    std::string mError;
    std::vector<std::string> mWarnings;
};

}  // namespace mlv2dng
