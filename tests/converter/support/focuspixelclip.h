// Writes one-camera clips with focus pixels for the focus-pixel tests: a smooth scene, each focus pixel
// offset by a few per cent, and that scene without them (the truth) for the tests to compare with.
#pragma once

#include "fixes/focuspixelposition.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mlvtest {

struct FocusPixelClipPlan
{
    std::uint32_t model = 0x80000331;  // IDNT cameraModel
    int bufferWidth = 1808;
    int bufferHeight = 1190;
    int samplingAcross = 0;  // RAWC binning + skipping; 0 writes no RAWC block
    int samplingDown = 0;
    int width = 1280;  // the recorded window, centred in the buffer as mlv_lite places it
    int height = 720;
    bool lossless = false;  // reduced-depth lossless: LJ92 with a 12-bit white level in 14-bit samples
    bool dualIso = false;   // every other pair of rows one EV darker, with a DISO block
    int frames = 1;         // frames after the first are cut 16 columns and 4 rows further right and down
    // Buffer positions to offset; every position the writer does not offset keeps its scene value.
    std::vector<mlv2dng::FocusPixelPosition> focusPixels;
};

struct FocusPixelClip
{
    std::vector<std::vector<std::uint16_t>> recorded;  // per frame, as written into the clip
    std::vector<std::vector<std::uint16_t>> truth;     // the same without focus-pixel offsets
};

// Writes the clip; empty frames when the file cannot be written.
FocusPixelClip writeFocusPixelClip(const std::string& path, const FocusPixelClipPlan& plan);

class MlvWriter;

// The parts, for writers of larger clips: the blocks before the first frame, then each frame with the
// window's position as the recorder asked for it (the first frame's is {panX, panY}).
struct FocusPixelWindow
{
    int panX = 0;
    int panY = 0;
};
FocusPixelWindow writeFocusPixelHeaders(MlvWriter& w, const FocusPixelClipPlan& plan);
void writeFocusPixelFrame(MlvWriter& w, std::uint32_t frameNumber, const std::vector<std::uint8_t>& payload,
                          FocusPixelWindow window, std::uint64_t timestamp);

}  // namespace mlvtest
