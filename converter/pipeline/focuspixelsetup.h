// Chooses a clip's focus-pixel map: a user's map file beside the clip, or the one generated for its camera
// and mode, and says on the report which one it took.
#pragma once

#include "fixes/focuspixelfixer.h"
#include "mlv/clipmetadata.h"
#include "mlv/rawframe.h"
#include "pipeline/converteroptions.h"

#include <memory>
#include <string>
#include <vector>

namespace mlv2dng {

class FocusPixelSetup
{
public:
    struct Choice
    {
        std::shared_ptr<const FocusPixelFixer> fixer;  // null: nothing to replace
        std::vector<std::string> notes;                // lines for the report
        std::string error;                             // a map file that cannot be read: nothing may be written
    };

    // From the headers in force at the clip's first frame, which is also placed ahead of the others.
    static Choice choose(const ConverterOptions& options, const ClipMetadata& metadata, const RawFrame& first);

    // Where user maps are looked for, in that order: the clip's name with .fpm, then
    // <model in hex>_<buffer width>x<buffer height>.fpm in the clip's folder.
    static std::vector<std::string> mapFilesFor(const std::string& input, const ClipMetadata& metadata);
};

}  // namespace mlv2dng
