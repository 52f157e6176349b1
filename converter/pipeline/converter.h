// Runs one conversion: walks the recording, feeds frames through the pipeline, writes the sound, reports.
#pragma once

#include "io/bytesource.h"
#include "korvalinversion.h"
#include "pipeline/converteroptions.h"

#include <memory>
#include <ostream>
#include <vector>

namespace mlv2dng {

class Converter
{
public:
    static constexpr const char* kVersion = korvalin::kShortVersion;
    enum ExitCode { Success = 0, Failed = 1, BadCommandLine = 2, CannotOpenInput = 3 };

    Converter(ConverterOptions options, std::ostream& out, std::ostream& err);

    // Opens the input and its chunks and converts them.
    int run();
    // Converts already opened chunks, the first one being the input itself.
    int run(std::vector<std::unique_ptr<ByteSource>> chunks);

    // Where the DNG of a frame and the sound go.
    static std::string framePath(const std::string& prefix, std::uint32_t frameNumber);
    static std::string wavPath(const std::string& prefix);
    static std::string reelName(const std::string& input);

private:
    const ConverterOptions mOptions;
    // For the progress line: the frames the recording's headers announce (0: unknown, or not asked for).
    std::uint64_t mAnnouncedFrames = 0;
    std::ostream& mOut;
    std::ostream& mErr;
};

}  // namespace mlv2dng
