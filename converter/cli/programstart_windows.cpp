#include "cli/programstart.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <memory>

// <windows.h> first, in a block of its own: <shellapi.h> needs what it defines, and sorting must not swap them.
#include <windows.h>

#include <shellapi.h>

namespace mlv2dng {

namespace {

std::string utf8(const wchar_t* text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return std::string();
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], length, nullptr, nullptr);
    bytes.pop_back();  // the terminating NUL
    return bytes;
}

}  // namespace

std::vector<std::string> ProgramStart::arguments(int argc, char** argv)
{
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(utf8(wide.get()[i]));
    return arguments;
}

void ProgramStart::useRawOutput()
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace mlv2dng
