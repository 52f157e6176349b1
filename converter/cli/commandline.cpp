#include "cli/commandline.h"

#include "io/nativefile.h"

namespace mlv2dng {

CommandLine::Result CommandLine::parse(const std::vector<std::string>& arguments)
{
    Result result;
    ConverterOptions& o = result.options;
    // Both cold-pixel options set one mode, as chroma options set one window: the last one counts.
    o.corrections = CorrectionOptions{};
    bool haveInput = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--help" || a == "-h") {
            result.action = Action::Help;
            return result;
        }
        if (a == "--version") {
            result.action = Action::Version;
            return result;
        }
        if (a == "-o") {
            if (i + 1 >= arguments.size()) {
                result.error = "option -o needs an output prefix";
                return result;
            }
            o.prefix = arguments[++i];
        } else if (a.size() > 2 && a.compare(0, 2, "-o") == 0 && a[2] != '-') {
            o.prefix = a.substr(2);
        } else if (a == "--dng") {
            o.dng = true;
        } else if (a == "-v") {
            o.verbose = true;
        } else if (a == "--relaxed") {
            o.relaxed = true;
        } else if (a == "--no-cs") {
            o.corrections.chromaSmoothing = 0;
        } else if (a == "--cs2x2") {
            o.corrections.chromaSmoothing = 2;
        } else if (a == "--cs3x3") {
            o.corrections.chromaSmoothing = 3;
        } else if (a == "--cs5x5") {
            o.corrections.chromaSmoothing = 5;
        } else if (a == "--no-fixcp") {
            o.corrections.fixColdPixels = false;
            o.corrections.fixMovingColdPixels = false;
        } else if (a == "--fixcp2") {
            o.corrections.fixColdPixels = true;
            o.corrections.fixMovingColdPixels = true;
        } else if (a == "--no-stripes") {
            o.corrections.fixVerticalStripes = false;
        } else if (a.size() > 1 && a[0] == '-') {
            result.error = "unknown option '" + a + "'";
            return result;
        } else if (!haveInput) {
            o.input = a;
            haveInput = true;
        }
        // Further plain arguments are ignored, as the program Korvalin was built for does.
    }
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
    return "Usage: " + program + " [options] INPUT.MLV\n"
        "Converts an MLV raw video recording into one DNG image per frame, plus a WAV file if it has sound.\n"
        "\n"
        "  -o PREFIX      output prefix: frames go to PREFIX000000.dng, ..., sound to PREFIX.wav\n"
        "                 (a trailing '_' dropped); the directory must exist\n"
        "  --dng          write DNG images (required)\n"
        "  -v             report every block on standard output\n"
        "  --relaxed      skip damaged frames instead of stopping at the first one\n"
        "  --no-cs, --cs2x2, --cs3x3, --cs5x5\n"
        "                 chroma smoothing: off (default) or the window size\n"
        "  --no-fixcp     do not fix cold pixels (fixed by default)\n"
        "  --fixcp2       also look for cold pixels in every frame\n"
        "  --no-stripes   do not fix vertical stripes (fixed by default)\n"
        "  --help         show this text\n"
        "  --version      show the version\n"
        "\n"
        "For each pair of opposing options the last one given wins.\n"
        "Exit codes: 0 done, 1 conversion failed, 2 bad command line, 3 input cannot be opened.\n";
}

}  // namespace mlv2dng
