#include "cli/commandline.h"

#include "cli/optionspellings.h"
#include "io/nativefile.h"

#include <cstdlib>

namespace mlv2dng {

namespace {

constexpr int kDefaultBlackFix = 2048;
constexpr int kDefaultWhiteFix = 15000;

bool isNumber(const std::string& text)
{
    return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
}

std::uint32_t number(const std::string& text)
{
    return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

// "N" is frames 0 to N, "A-B" frames A to B, both inclusive, as mlv_dump counts them.
bool parseFrames(const std::string& text, ConverterOptions& o)
{
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!isNumber(text))
            return false;
        o.firstFrame = 0;
        o.lastFrame = number(text);
        return true;
    }
    const std::string first = text.substr(0, dash);
    const std::string last = text.substr(dash + 1);
    if (!isNumber(first) || !isNumber(last) || number(first) > number(last))
        return false;
    o.firstFrame = number(first);
    o.lastFrame = number(last);
    return true;
}

// "--black-fix" or "--black-fix=V"; false when the text is neither.
bool parseLevel(const std::string& argument, const std::string& name, int fallback, std::optional<int>& level,
                std::string& error)
{
    if (argument == name) {
        level = fallback;
        return true;
    }
    if (argument.compare(0, name.size() + 1, name + "=") != 0)
        return false;
    const std::string value = argument.substr(name.size() + 1);
    if (!isNumber(value) || number(value) > 65535)
        error = "option " + name + " needs a level from 0 to 65535, not '" + value + "'";
    else
        level = static_cast<int>(number(value));
    return true;
}

// The switches that take no value; false when the argument is none of them.
bool parseSwitch(const std::string& a, ConverterOptions& o)
{
    namespace s = spelling;
    CorrectionOptions& c = o.corrections;
    for (std::size_t code = 0; code < s::kChromaWords.size(); ++code) {
        if (a == std::string("--") + s::kChromaWords[code]) {
            c.chromaSmoothing = s::kChromaWindows[code];
            return true;
        }
    }
    if (a == s::kDng)
        o.dng = true;
    else if (a == s::kVerbose)
        o.verbose = true;
    else if (a == s::kRelaxed)
        o.relaxed = true;
    else if (a == s::kCompress)
        o.compress = true;
    else if (a == s::kNoColdPixels)
        c.fixColdPixels = c.fixMovingColdPixels = false;
    else if (a == s::kMovingColdPixels)
        c.fixColdPixels = c.fixMovingColdPixels = true;
    else if (a == s::kNoStripes)
        c.fixVerticalStripes = false;
    else if (a == "--no-audio")
        o.audio = false;
    else if (a == "--no-bitpack")
        o.bitpack = false;
    else if (a == "--show-progress")
        o.showProgress = true;
    else if (a == "--no-fixfp")
        c.fixFocusPixels = false;
    else if (a == "--is-dualiso")
        c.assumeDualIso = true;
    else if (a == "--is-croprec")
        c.assumeCropRec = true;
    else if (a != "--batch")  // our report is line-based already
        return false;
    return true;
}

// Options with a value, given as the next argument or joined to a one-letter option ("-f10-20").
bool parseValueOption(const std::vector<std::string>& arguments, std::size_t& i, ConverterOptions& o,
                      std::string& error)
{
    const std::string& a = arguments[i];
    if (a.size() < 2 || a[0] != '-' || (a[1] != 'o' && a[1] != 'f' && a[1] != 'A') || (a.size() > 2 && a[2] == '-'))
        return false;
    std::string value;
    if (a.size() > 2) {
        value = a.substr(2);
    } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
    } else {
        error = "option " + a + " needs a value";
        return true;
    }
    if (a[1] == 'o')
        o.prefix = value;
    else if (a[1] == 'f' && !parseFrames(value, o))
        error = "option -f needs frames as N or A-B, not '" + value + "'";
    else if (a[1] == 'A' && (!isNumber(value) || number(value) == 0))
        error = "option -A needs the frame rate times 1000, not '" + value + "'";
    else if (a[1] == 'A')
        o.fpsTimes1000 = number(value);
    return true;
}

// "--fpi N" or "--fpi=N": 0 interpolates focus pixels, 1 takes the median; larger numbers count as 1.
bool parseFocusPixelMethod(const std::vector<std::string>& arguments, std::size_t& i, CorrectionOptions& c,
                           std::string& error)
{
    const std::string& a = arguments[i];
    std::string value;
    if (a == "--fpi") {
        if (i + 1 >= arguments.size()) {
            error = "option --fpi needs a value, 0 or 1";
            return true;
        }
        value = arguments[++i];
    } else if (a.compare(0, 6, "--fpi=") == 0) {
        value = a.substr(6);
    } else {
        return false;
    }
    if (!isNumber(value))
        error = "option --fpi needs 0 (interpolate) or 1 (median), not '" + value + "'";
    else
        c.focusPixelMethod =
            number(value) == 0 ? FocusPixelFixer::Method::Interpolate : FocusPixelFixer::Method::Median;
    return true;
}

}  // namespace

CommandLine::Result CommandLine::parse(const std::vector<std::string>& arguments)
{
    Result result;
    ConverterOptions& o = result.options;
    // Both cold-pixel options set one mode, as chroma options set one window: the last one counts.
    o.corrections = CorrectionOptions{};
    bool haveInput = false;
    for (std::size_t i = 0; i < arguments.size() && result.error.empty(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--help" || a == "-h") {
            result.action = Action::Help;
            return result;
        }
        if (a == "--version") {
            result.action = Action::Version;
            return result;
        }
        if (parseSwitch(a, o) || parseValueOption(arguments, i, o, result.error)
            || parseFocusPixelMethod(arguments, i, o.corrections, result.error)
            || parseLevel(a, "--black-fix", kDefaultBlackFix, o.blackLevel, result.error)
            || parseLevel(a, "--white-fix", kDefaultWhiteFix, o.whiteLevel, result.error))
            continue;
        if (a.size() > 1 && a[0] == '-') {
            result.error = "option '" + a + "' is not supported";
        } else if (!haveInput) {
            o.input = a;
            haveInput = true;
        }
        // Further plain arguments are ignored, as the program Korvalin was built for does.
    }
    if (!result.error.empty())
        return result;
    if (!haveInput) {
        result.error = "missing input file name";
        return result;
    }
    if (!o.dng) {
        result.error = "nothing to do: only --dng conversion is supported";
        return result;
    }
    if (o.prefix.empty())
        o.prefix = defaultPrefix(o.input);
    result.action = Action::Convert;
    return result;
}

std::string CommandLine::defaultPrefix(const std::string& input)
{
    const std::size_t slash = input.find_last_of(NativeFile::kSeparators);
    const std::size_t dot = input.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? input.substr(0, dot) : input) + "_";
}

std::string CommandLine::synopsis(const std::string& program)
{
    return "Usage: " + program + " [options] INPUT.MLV (" + program + " --help lists the options)";
}

std::string CommandLine::usage(const std::string& program)
{
    return "Usage: " + program
           + " [options] INPUT.MLV\n"
             "Converts an MLV raw video recording into one DNG image per frame, plus a WAV file if it has sound.\n"
             "\n"
             "  -o PREFIX      output prefix: frames go to PREFIX000000.dng, ..., sound to PREFIX.wav\n"
             "                 (a trailing '_' dropped); the folder must exist\n"
             "  --dng          write DNG images (required)\n"
             "  -c             compress the DNG images losslessly (lossless JPEG)\n"
             "  -v             report every block on standard output\n"
             "  --relaxed      skip damaged frames instead of stopping at the first one, and keep the\n"
             "                 frames of a recording cut short in its last frame with a warning\n"
             "  --no-cs, --cs2x2, --cs3x3, --cs5x5\n"
             "                 chroma smoothing: off (default) or the window size\n"
             "  --no-fixcp     do not fix cold pixels (fixed by default)\n"
             "  --fixcp2       also look for cold pixels in every frame\n"
             "  --no-stripes   do not fix vertical stripes (fixed by default)\n"
             "  -f N, -f A-B   convert frames 0 to N, or A to B (by frame number, inclusive)\n"
             "  -A FPSx1000    frame rate to write into the DNG images, times 1000 (25000 for 25 fps)\n"
             "  --black-fix[=V], --white-fix[=V]\n"
             "                 write black level V (default 2048) or white level V (default 15000), given\n"
             "                 at 14 bits and scaled to the recorded depth\n"
             "  --no-bitpack   write 16-bit samples instead of packing them at the recorded depth\n"
             "  --no-audio     do not write the WAV file\n"
             "  --show-progress  show \"frame N of M\" on standard error when it is a terminal\n"
             "  --batch        accepted for mlv_dump scripts; the report is line-based anyway\n"
             "  --no-fixfp     do not replace focus pixels (replaced by default on the EOS M, 650D,\n"
             "                 700D and 100D, and on any camera with a map file beside the clip:\n"
             "                 CLIP.fpm, or MODEL_WxH.fpm as in 80000331_1808x727.fpm)\n"
             "  --fpi 0|1      focus pixels from their neighbours: 0 weighted mean (default), 1 median\n"
             "  --is-dualiso   replace focus pixels from same-ISO rows only, even without a dual-ISO\n"
             "                 block in the clip\n"
             "  --is-croprec   take a 720p-sized raw buffer as crop_rec 720 even without a capture\n"
             "                 block saying so\n"
             "  --help         show this text\n"
             "  --version      show the version\n"
             "\n"
             "For each pair of opposing options the last one given wins.\n"
             "Exit codes: 0 done, 1 conversion failed, 2 bad command line, 3 input cannot be opened.\n";
}

}  // namespace mlv2dng
