#include "pipeline/focuspixelsetup.h"

#include "fixes/focuspixellattice.h"
#include "fixes/focuspixellayout.h"
#include "fixes/focuspixelmapfile.h"
#include "io/nativefile.h"

#include <chrono>
#include <cstdio>

namespace mlv2dng {

namespace {

constexpr std::uint64_t kMaxMapBytes = 64u << 20;

std::string hexModel(std::uint32_t model)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", model);
    return text;
}

// The whole file, or false with the reason.
bool readWhole(const std::string& path, std::string& text, std::string& error)
{
    NativeFile file;
    std::uint64_t size = 0;
    if (!file.openForReading(path) || !file.regularFileSize(size)) {
        error = "cannot read focus-pixel map '" + path + "': " + file.error();
        return false;
    }
    if (size > kMaxMapBytes) {
        error = "focus-pixel map '" + path + "' is larger than " + std::to_string(kMaxMapBytes >> 20) + " MB";
        return false;
    }
    text.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < text.size()) {
        const std::ptrdiff_t got = file.read(reinterpret_cast<std::uint8_t*>(&text[done]), text.size() - done);
        if (got <= 0) {
            error = "cannot read focus-pixel map '" + path + "': " + (got < 0 ? file.error() : "it got shorter");
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

std::vector<std::string> FocusPixelSetup::mapFilesFor(const std::string& input, const ClipMetadata& metadata)
{
    const std::size_t slash = input.find_last_of(NativeFile::kSeparators);
    const std::size_t dot = input.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string folder = slash == std::string::npos ? std::string() : input.substr(0, slash + 1);
    return {(hasExtension ? input.substr(0, dot) : input) + ".fpm",
            folder + hexModel(metadata.camera.model) + "_" + std::to_string(metadata.raw.bufferWidth) + "x"
                + std::to_string(metadata.raw.bufferHeight) + ".fpm"};
}

FocusPixelSetup::Choice FocusPixelSetup::choose(const ConverterOptions& options, const ClipMetadata& metadata,
                                                const RawFrame& first)
{
    Choice choice;
    const CorrectionOptions& c = options.corrections;
    if (!c.fixFocusPixels)
        return choice;
    const bool dualIso = c.assumeDualIso || (metadata.dualIso.present && metadata.dualIso.mode != 0);
    const std::string dualIsoNote = dualIso ? "; dual ISO: from same-ISO neighbours only" : "";
    const std::string prefix = "Focus pixels: ";

    for (const std::string& path : mapFilesFor(options.input, metadata)) {
        if (NativeFile::kindOf(path) != NativeFile::Kind::RegularFile)
            continue;
        std::string text;
        if (!readWhole(path, text, choice.error))
            return choice;
        FocusPixelMapFile::Contents map = FocusPixelMapFile::parse(text);
        if (map.badLine > 0) {
            choice.error = "focus-pixel map '" + path + "', line " + std::to_string(map.badLine)
                           + ": expected a position as two numbers 'X Y', found '" + map.badText + "'";
            return choice;
        }
        if (map.model != 0 && map.model != metadata.camera.model) {
            choice.notes.push_back(prefix + "map '" + path + "' is for camera " + hexModel(map.model)
                                   + ", not this clip's " + hexModel(metadata.camera.model) + "; ignored");
            continue;
        }
        choice.notes.push_back(prefix + "map '" + path + "', " + std::to_string(map.positions.size()) + " positions"
                               + dualIsoNote);
        auto fixer = std::make_shared<FocusPixelFixer>(std::move(map.positions), c.focusPixelMethod, dualIso);
        fixer->placementFor(first);
        choice.fixer = std::move(fixer);
        return choice;
    }

    const FocusPixelLayout layout = FocusPixelLayout::of(metadata, c.assumeCropRec);
    if (!FocusPixelLayout::hasFocusPixels(layout.model))
        return choice;
    if (!layout.hasMap()) {
        const std::vector<std::string> files = mapFilesFor(options.input, metadata);
        choice.notes.push_back(prefix + "no built-in map for a " + layout.describe() + " with a "
                               + std::to_string(metadata.raw.bufferWidth) + "x"
                               + std::to_string(metadata.raw.bufferHeight)
                               + " raw buffer; they stay as recorded unless a map is put beside the clip as '"
                               + files[0] + "' or '" + files[1] + "'");
        return choice;
    }
    const auto started = std::chrono::steady_clock::now();
    std::vector<FocusPixelPosition> positions =
        FocusPixelLattice::positions(layout, metadata.raw.bufferWidth, metadata.raw.bufferHeight);
    const std::size_t count = positions.size();
    auto fixer = std::make_shared<FocusPixelFixer>(std::move(positions), c.focusPixelMethod, dualIso);
    const std::size_t inFrame = fixer->placementFor(first)->recipes().size();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    char built[64];
    std::snprintf(built, sizeof built, " (map built in %.1f ms)", ms);
    choice.notes.push_back(prefix + "generated map for " + layout.describe() + ", " + std::to_string(count)
                           + " positions, " + std::to_string(inFrame) + " in the first frame" + dualIsoNote + built);
    choice.fixer = std::move(fixer);
    return choice;
}

}  // namespace mlv2dng
