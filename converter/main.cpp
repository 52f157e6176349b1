// mlv2dng: converts an MLV raw video recording into DNG frames and a WAV file.
#include "commandline.h"
#include "converter.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using mlv2dng::CommandLine;
    using mlv2dng::Converter;
    const std::string program = argc > 0 ? argv[0] : "mlv2dng";
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine::Result parsed = CommandLine::parse(arguments);
    switch (parsed.action) {
    case CommandLine::Action::Help:
        std::cout << CommandLine::usage(program);
        return Converter::Success;
    case CommandLine::Action::Version:
        std::cout << "mlv2dng " << Converter::kVersion << '\n';
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
