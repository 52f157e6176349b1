#include "mlv/chunkfinder.h"

#include "io/nativefile.h"

namespace mlv2dng {

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ChunkFinder::hasMlvExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of(NativeFile::kSeparators);
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || path.size() - dot != 4)
        return false;
    return lower(path[dot + 1]) == 'm' && lower(path[dot + 2]) == 'l' && lower(path[dot + 3]) == 'v';
}

std::string ChunkFinder::chunkName(const std::string& input, int index)
{
    const char digits[3] = {static_cast<char>('0' + index / 10), static_cast<char>('0' + index % 10), '\0'};
    return input.substr(0, input.size() - 2) + digits;
}

std::vector<std::string> ChunkFinder::chunksOf(const std::string& input)
{
    std::vector<std::string> chunks{input};
    if (!hasMlvExtension(input))
        return chunks;
    for (int index = 0; index <= 98; ++index) {
        const std::string name = chunkName(input, index);
        if (NativeFile::kindOf(name) != NativeFile::Kind::RegularFile)
            break;
        chunks.push_back(name);
    }
    return chunks;
}

}  // namespace mlv2dng
