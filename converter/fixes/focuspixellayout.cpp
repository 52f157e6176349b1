#include "fixes/focuspixellayout.h"

namespace mlv2dng {

bool FocusPixelLayout::hasFocusPixels(std::uint32_t model)
{
    return model == kEosM || model == kEos650D || model == kEos700D || model == kEos100D;
}

FocusPixelLayout FocusPixelLayout::of(const ClipMetadata& metadata, bool forceCropRec)
{
    FocusPixelLayout layout;
    layout.model = metadata.camera.model;
    if (!hasFocusPixels(layout.model))
        return layout;
    const RawInfo& raw = metadata.raw;
    // The buffer, not the recorded window, tells the readout: each mode has its own buffer size.
    if (raw.bufferWidth == 1808 && raw.bufferHeight < 900) {
        // 1080p sampling read through a 720p-sized buffer; plain 720p skips more rows than it bins.
        const CaptureInfo& c = metadata.capture;
        const int across = c.binningX + c.skippingX;
        const int down = c.binningY + c.skippingY;
        const bool sampled = c.present && across > 0 && down > 0;
        layout.mode = forceCropRec || (sampled && !(across == 3 && down == 5)) ? Mode::CropRec720 : Mode::Video720;
    } else if (raw.bufferWidth == 1808) {
        layout.mode = Mode::Video1080;
    } else if (raw.bufferWidth == 1872) {
        layout.mode = Mode::Crop;
    } else if (raw.bufferWidth == 2592) {
        layout.mode = Mode::Zoom;
    }
    // Reduced-depth lossless recordings lower the signal by digital gain, which brings out more of the
    // sensor's focus pixels. Their white level is low even at 14 bits, unlike a lower-depth clip that
    // was merely compressed afterwards; an option that replaces the white level changes nothing here.
    const int bits = raw.bitsPerPixel;
    if ((metadata.header.videoClass & 0x20) != 0 && bits > 0 && bits <= 14) {
        const long long white14 = static_cast<long long>(raw.recordedWhiteLevel) << (14 - bits);
        layout.lossless = white14 > 0 && white14 < 15000;
    }
    return layout;
}

std::string FocusPixelLayout::describe() const
{
    std::string text;
    switch (model) {
    case kEosM:
        text = "Canon EOS M";
        break;
    case kEos650D:
        text = "Canon EOS 650D";
        break;
    case kEos700D:
        text = "Canon EOS 700D";
        break;
    case kEos100D:
        text = "Canon EOS 100D";
        break;
    default:
        text = "camera model " + std::to_string(model);
        break;
    }
    switch (mode) {
    case Mode::None:
        return text;
    case Mode::Video720:
        text += ", 720p";
        break;
    case Mode::Video1080:
        text += ", 1080p";
        break;
    case Mode::Crop:
        text += ", 3x crop";
        break;
    case Mode::Zoom:
        text += ", 5x/10x zoom";
        break;
    case Mode::CropRec720:
        text += ", crop_rec 720";
        break;
    }
    return lossless ? text + ", reduced-depth lossless" : text;
}

}  // namespace mlv2dng
