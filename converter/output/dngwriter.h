// Builds a complete DNG file in memory from one raw frame and the clip metadata in force for it.
#pragma once

#include "mlv/clipmetadata.h"
#include "mlv/rawframe.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mlv2dng {

class TiffDirectory;

// How the one strip that follows the header holds the image.
struct DngStrip
{
    int bitsPerSample = 14;
    bool lossless = false;  // lossless JPEG (Compression 7) instead of packed samples
    std::size_t bytes = 0;

    // Packed at bitsPerSample, BitPacker::stripBytes() long.
    static DngStrip packed(const RawFrame& frame, int bitsPerSample);
};

class DngWriter
{
public:
    explicit DngWriter(std::string software) : mSoftware(std::move(software)) {}

    // The whole file: header, IFD0 holding the CFA image, EXIF IFD, then one packed strip.
    std::vector<std::uint8_t> build(const RawFrame& frame, std::uint64_t frameTimestamp,
                                    const ClipMetadata& metadata) const;
    // Everything before the strip, which follows it directly. Only the frame's description is
    // used, not its pixels.
    std::vector<std::uint8_t> header(const RawFrame& frame, std::uint64_t frameTimestamp, const ClipMetadata& metadata,
                                     const DngStrip& strip) const;

    // "YYYY:MM:DD HH:MM:SS" of the frame, or empty without a clock block.
    static std::string frameDateTime(const ClockInfo& clock, std::uint64_t frameTimestamp);
    // SMPTE time code of a frame number at the clip's rate, as DNG's eight BCD bytes.
    static std::vector<std::uint8_t> timeCode(std::uint32_t frameNumber, std::uint32_t fpsNumerator,
                                              std::uint32_t fpsDenominator);

private:
    void addImageTags(TiffDirectory& ifd, const RawFrame& frame, const DngStrip& strip) const;
    void addCameraTags(TiffDirectory& ifd, const ClipMetadata& metadata) const;
    static void addGeometryTags(TiffDirectory& ifd, const RawFrame& frame, const ClipMetadata& metadata);
    static void addColourTags(TiffDirectory& ifd, const ClipMetadata& metadata);
    static void addTimeTags(TiffDirectory& ifd, const RawFrame& frame, std::uint64_t frameTimestamp,
                            const ClipMetadata& metadata);
    static TiffDirectory exifDirectory(const ClipMetadata& metadata);
    // The file up to the strip: TIFF header, IFD0, the EXIF IFD and their values.
    static std::vector<std::uint8_t> layOut(TiffDirectory& ifd, const TiffDirectory& exif);

    const std::string mSoftware;
};

}  // namespace mlv2dng
