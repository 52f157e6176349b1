// What the metadata blocks said so far: the state a video frame is converted with.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace mlv2dng {

struct FileHeaderInfo
{
    std::uint64_t guid = 0;
    std::uint16_t fileNumber = 0;
    std::uint32_t fileFlags = 0;
    std::uint16_t videoClass = 0;
    std::uint16_t audioClass = 0;
    std::uint32_t videoFrameCount = 0;
    std::uint32_t fpsNumerator = 0;
    std::uint32_t fpsDenominator = 0;
};

struct RawInfo
{
    bool present = false;
    int width = 0;   // xRes: the recorded frame
    int height = 0;  // yRes
    int bitsPerPixel = 0;
    int blackLevel = 0;
    int whiteLevel = 0;
    int recordedWhiteLevel = 0;  // as the block says, whatever an option puts into whiteLevel
    int bufferWidth = 0;         // the camera's full raw buffer, which the frame is cut from
    int bufferHeight = 0;
    std::array<std::int32_t, 4> activeArea{};  // top, left, bottom, right
    std::array<std::int32_t, 2> cropOrigin{};
    std::uint32_t cfaPattern = 0;
    std::int32_t illuminant = 0;
    std::array<std::int32_t, 18> colorMatrix{};  // nine num/den pairs
};

struct ExposureInfo
{
    bool present = false;
    std::uint32_t iso = 0;
    std::uint64_t shutterMicroseconds = 0;
};

struct LensInfo
{
    bool present = false;
    std::uint16_t focalLengthMm = 0;
    std::uint16_t focusDistanceMm = 0;  // 65535: infinity
    std::uint16_t apertureHundredths = 0;
    std::string name;
    std::string serial;
};

struct ClockInfo
{
    bool present = false;
    std::uint64_t timestamp = 0;  // block timestamp, microseconds since recording start
    int second = 0, minute = 0, hour = 0, day = 1, month = 0, year = 0;  // month 0-11, year since 1900
};

struct CameraInfo
{
    bool present = false;
    std::string name;
    std::uint32_t model = 0;
    std::string serial;
};

struct WhiteBalanceInfo
{
    bool present = false;
    std::uint32_t mode = 0;
    std::uint32_t kelvin = 0;
    std::uint32_t gainRed = 0, gainGreen = 0, gainBlue = 0;
    std::uint32_t shiftGreenMagenta = 0, shiftBlueAmber = 0;  // signed steps, -9..9
};

struct CaptureInfo
{
    bool present = false;
    int binningX = 0, skippingX = 0, binningY = 0, skippingY = 0;
};

struct DualIsoInfo
{
    bool present = false;
    std::uint32_t mode = 0;  // 0: one ISO for every row
};

struct AudioFormat
{
    bool present = false;
    std::uint16_t format = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

struct ClipMetadata
{
    FileHeaderInfo header;
    RawInfo raw;
    ExposureInfo exposure;
    LensInfo lens;
    ClockInfo clock;
    CameraInfo camera;
    WhiteBalanceInfo whiteBalance;
    CaptureInfo capture;
    DualIsoInfo dualIso;
    AudioFormat audio;
    std::string info;
    bool cropRecording = false;  // a VERS block names the crop_rec module
    std::string reelName;        // the clip's file name without directory and extension
};

}  // namespace mlv2dng
