// Finds the further chunks of a spanned recording: A.MLV, then A.M00, A.M01, ... up to the first gap.
#pragma once

#include <string>
#include <vector>

namespace mlv2dng {

class ChunkFinder
{
public:
    // The input itself first, then every chunk that exists. Only an input whose extension is
    // "mlv" (any case) has chunks; the extension's case is kept ("x.mlv" looks for "x.m00").
    static std::vector<std::string> chunksOf(const std::string& input);
    static std::string chunkName(const std::string& input, int index);
    static bool hasMlvExtension(const std::string& path);
};

}  // namespace mlv2dng
