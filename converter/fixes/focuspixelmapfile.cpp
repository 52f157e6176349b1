#include "fixes/focuspixelmapfile.h"

#include <cstdlib>

namespace mlv2dng {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A decimal number of at most nine digits at pos, which moves past it.
bool readNumber(const std::string& line, std::size_t& pos, int& value)
{
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9' && pos - start < 10)
        ++pos;
    if (pos == start || pos - start > 9)
        return false;
    value = std::atoi(line.substr(start, pos - start).c_str());
    return true;
}

}  // namespace

FocusPixelMapFile::Contents FocusPixelMapFile::parse(const std::string& text)
{
    Contents contents;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::size_t pos = 0;
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos == line.size())
            continue;
        if (number == 1 && line.compare(pos, 4, "#FPM") == 0) {
            contents.model = static_cast<std::uint32_t>(std::strtoul(line.c_str() + pos + 4, nullptr, 16));
            continue;
        }
        if (line[pos] == '#')
            continue;
        FocusPixelPosition p;
        bool good = readNumber(line, pos, p.x) && pos < line.size() && isBlank(line[pos]);
        while (good && pos < line.size() && isBlank(line[pos]))
            ++pos;
        good = good && readNumber(line, pos, p.y) && (pos == line.size() || isBlank(line[pos]));
        if (!good) {
            contents.badLine = number;
            contents.badText = line.substr(0, 80);
            return contents;
        }
        contents.positions.push_back(p);
    }
    return contents;
}

}  // namespace mlv2dng
