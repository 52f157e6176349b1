#include "cli/programstart.h"

namespace mlv2dng {

std::vector<std::string> ProgramStart::arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void ProgramStart::useRawOutput()
{
}

}  // namespace mlv2dng
