#include "output/ixmlchunk.h"

#include <cctype>
#include <cmath>

namespace mlv2dng {

namespace {

bool isNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool wordAt(const std::string& text, std::size_t at, const std::string& word)
{
    if (at + word.size() > text.size() || (at > 0 && isNameCharacter(text[at - 1])))
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (lower(text[at + i]) != lower(word[i]))
            return false;
    }
    return true;
}

}  // namespace

std::string IxmlChunk::field(const std::string& info, const std::string& word)
{
    constexpr std::size_t kLongest = 16;
    for (std::size_t at = 0; at < info.size(); ++at) {
        if (!wordAt(info, at, word))
            continue;
        std::size_t start = at + word.size();
        while (start < info.size() && (info[start] == ' ' || info[start] == ':' || info[start] == '#'))
            ++start;
        if (start == at + word.size())
            continue;  // "takeover" names no take
        std::size_t end = start;
        while (end < info.size() && end - start < kLongest && isNameCharacter(info[end]))
            ++end;
        // Letters and digits only, so the name needs no escaping in XML.
        if (end > start)
            return info.substr(start, end - start);
    }
    return "1";
}

std::string IxmlChunk::text(std::uint32_t fpsNumerator, std::uint32_t fpsDenominator, const std::string& info)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n<IXML_VERSION>1.5</IXML_VERSION>\n"
                      "<PROJECT>Magic Lantern</PROJECT>\n<NOTE></NOTE>\n<CIRCLED>FALSE</CIRCLED>\n"
                      "<BLACKMAGIC-KEYWORDS></BLACKMAGIC-KEYWORDS>\n<TAPE>1</TAPE>\n<SCENE>"
                      + field(info, "scene") + "</SCENE>\n<BLACKMAGIC-SHOT>1</BLACKMAGIC-SHOT>\n<TAKE>"
                      + field(info, "take") + "</TAKE>\n<BLACKMAGIC-ANGLE>ms</BLACKMAGIC-ANGLE>\n";
    if (fpsNumerator > 0 && fpsDenominator > 0) {
        const std::string rate = std::to_string(fpsNumerator) + "/" + std::to_string(fpsDenominator);
        // 29.97 and 59.94 frames per second count time code in drop-frame.
        const double fps = static_cast<double>(fpsNumerator) / fpsDenominator;
        const long whole = std::lround(fps);
        const bool dropFrame = (whole == 30 || whole == 60) && std::abs(fps - whole) > 0.001;
        xml += "<SPEED>\n<MASTER_SPEED>" + rate + "</MASTER_SPEED>\n<CURRENT_SPEED>" + rate
               + "</CURRENT_SPEED>\n<TIMECODE_RATE>" + rate + "</TIMECODE_RATE>\n<TIMECODE_FLAG>"
               + (dropFrame ? "DF" : "NDF") + "</TIMECODE_FLAG>\n</SPEED>\n";
    }
    xml += "</BWFXML>\n";
    xml.resize(kSize, ' ');
    return xml;
}

}  // namespace mlv2dng
