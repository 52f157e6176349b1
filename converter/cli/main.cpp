// mlv2dng: converts an MLV raw video recording into DNG frames and a WAV file.
#include "cli/commandline.h"
#include "cli/guardedrun.h"
#include "cli/programstart.h"
#include "korvalinversion.h"
#include "pipeline/converter.h"

#include <iostream>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <string>
#include <vector>

namespace {

int convert(int argc, char** argv)
{
    using mlv2dng::CommandLine;
    using mlv2dng::Converter;
    using mlv2dng::ProgramStart;
    ProgramStart::useRawOutput();
    std::vector<std::string> arguments = ProgramStart::arguments(argc, argv);
    const std::string program = arguments.empty() ? "mlv2dng" : arguments.front();
    if (!arguments.empty())
        arguments.erase(arguments.begin());
    const CommandLine::Result parsed = CommandLine::parse(arguments);
    switch (parsed.action) {
    case CommandLine::Action::Help:
        std::cout << CommandLine::usage(program);
        return Converter::Success;
    case CommandLine::Action::Version:
        std::cout << "mlv2dng " << korvalin::kVersionText << '\n';
        return Converter::Success;
    case CommandLine::Action::Error:
        std::cerr << "[ERROR] " << parsed.error << "\n[ERROR] " << CommandLine::synopsis(program) << '\n';
        return Converter::BadCommandLine;
    case CommandLine::Action::Convert:
        break;
    }
    Converter converter(parsed.options, std::cout, std::cerr);
    return converter.run();
}

}  // namespace

int main(int argc, char** argv)
{
#if defined(__GLIBC__)
    // Every frame allocates and frees the same few megabyte-sized buffers. Kept in the heap they
    // are reused; mapped and trimmed, each frame faults them in afresh (a sixth of the CPU time
    // with chroma smoothing). The pipeline bounds how many exist at once.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
#endif
    return mlv2dng::runGuarded([argc, argv] { return convert(argc, argv); }, std::cerr);
}
