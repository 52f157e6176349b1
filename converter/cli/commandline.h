// Parses mlv2dng's arguments; options come in any order and the last of two opposing ones wins.
#pragma once

#include "pipeline/converteroptions.h"

#include <string>
#include <vector>

namespace mlv2dng {

class CommandLine
{
public:
    enum class Action { Convert, Help, Version, Error };

    struct Result
    {
        Action action = Action::Error;
        ConverterOptions options;
        std::string error;  // one line, for Action::Error
    };

    static Result parse(const std::vector<std::string>& arguments);  // without the program name
    static std::string usage(const std::string& program);
    // The usage in one line, for standard error, where every line is an "[ERROR] " line.
    static std::string synopsis(const std::string& program);
    static std::string defaultPrefix(const std::string& input);
};

}  // namespace mlv2dng
