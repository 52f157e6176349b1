#include "mlv/metadataparser.h"

#include "io/bytecursor.h"
#include "mlv/blocktypes.h"

namespace mlv2dng {

bool MetadataParser::handles(const std::string& type)
{
    return BlockTypes::isMetadata(type);
}

FileHeaderInfo MetadataParser::parseFileHeader(const std::uint8_t* block, std::size_t size)
{
    const ByteCursor c(block, size);
    FileHeaderInfo h;
    h.guid = c.u64(16);
    h.fileNumber = c.u16(24);
    h.fileFlags = c.u32(28);
    h.videoClass = c.u16(32);
    h.audioClass = c.u16(34);
    h.videoFrameCount = c.u32(36);
    h.fpsNumerator = c.u32(44);
    h.fpsDenominator = c.u32(48);
    return h;
}

bool MetadataParser::apply(const std::string& type, const std::uint8_t* block, std::size_t size, ClipMetadata& m)
{
    const ByteCursor c(block, size);
    if (type == "RAWI") {
        RawInfo& r = m.raw;
        r.present = true;
        r.width = c.u16(16);
        r.height = c.u16(18);
        r.bitsPerPixel = c.i32(44);
        r.blackLevel = c.i32(48);
        r.whiteLevel = c.i32(52);
        r.recordedWhiteLevel = r.whiteLevel;
        r.bufferHeight = c.i32(28);
        r.bufferWidth = c.i32(32);
        r.cropOrigin = {c.i32(56), c.i32(60)};
        for (std::size_t i = 0; i < 4; ++i)
            r.activeArea[i] = c.i32(72 + 4 * i);
        r.cfaPattern = c.u32(96);
        r.illuminant = c.i32(100);
        for (std::size_t i = 0; i < 18; ++i)
            r.colorMatrix[i] = c.i32(104 + 4 * i);
    } else if (type == "EXPO") {
        m.exposure.present = true;
        m.exposure.iso = c.u32(20);
        m.exposure.shutterMicroseconds = c.u64(32);
    } else if (type == "LENS") {
        LensInfo& l = m.lens;
        l.present = true;
        l.focalLengthMm = c.u16(16);
        l.focusDistanceMm = c.u16(18);
        l.apertureHundredths = c.u16(20);
        l.name = c.text(32, 32);
        l.serial = c.text(64, 32);
    } else if (type == "RTCI") {
        ClockInfo& t = m.clock;
        t.present = true;
        t.timestamp = c.u64(8);
        t.second = c.u16(16);
        t.minute = c.u16(18);
        t.hour = c.u16(20);
        t.day = c.u16(22);
        t.month = c.u16(24);
        t.year = c.u16(26);
    } else if (type == "IDNT") {
        m.camera.present = true;
        m.camera.name = c.text(16, 32);
        m.camera.model = c.u32(48);
        m.camera.serial = c.text(52, 32);
    } else if (type == "WBAL") {
        WhiteBalanceInfo& w = m.whiteBalance;
        w.present = true;
        w.mode = c.u32(16);
        w.kelvin = c.u32(20);
        w.gainRed = c.u32(24);
        w.gainGreen = c.u32(28);
        w.gainBlue = c.u32(32);
        w.shiftGreenMagenta = c.u32(36);
        w.shiftBlueAmber = c.u32(40);
    } else if (type == "RAWC") {
        CaptureInfo& g = m.capture;
        g.present = true;
        g.binningX = c.u8(24);
        g.skippingX = c.u8(25);
        g.binningY = c.u8(26);
        g.skippingY = c.u8(27);
    } else if (type == "DISO") {
        m.dualIso.present = true;
        m.dualIso.mode = c.u32(16);
    } else if (type == "WAVI") {
        AudioFormat& a = m.audio;
        a.present = true;
        a.format = c.u16(16);
        a.channels = c.u16(18);
        a.sampleRate = c.u32(20);
        a.bytesPerSecond = c.u32(24);
        a.blockAlign = c.u16(28);
        a.bitsPerSample = c.u16(30);
    } else if (type == "INFO") {
        m.info = size > 16 ? c.text(16, size - 16) : std::string();
    } else if (type == "VERS") {
        // Without a RAWC block, a loaded crop_rec module is the only hint that the frame's shape does not tell
        // the sampling.
        const std::string module = size > 20 ? c.text(20, size - 20) : std::string();
        m.cropRecording = m.cropRecording || module.rfind("crop_rec", 0) == 0;
    } else {
        return false;
    }
    return true;
}

}  // namespace mlv2dng
