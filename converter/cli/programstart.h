// What the system hands mlv2dng at start, made alike everywhere: UTF-8 arguments, byte-exact output streams.
#pragma once

#include <string>
#include <vector>

namespace mlv2dng {

class ProgramStart
{
public:
    // The program name first, as in argv. Windows passes argv in its ANSI code page, which cannot
    // hold every file name, so there the wide command line is read instead.
    static std::vector<std::string> arguments(int argc, char** argv);
    // Windows would write "\r\n" for every '\n'; whoever reads the reports gets the same bytes everywhere.
    static void useRawOutput();
};

}  // namespace mlv2dng
