#include "mlvwriter.h"

#include <fstream>

namespace mlvtest {

void MlvWriter::u16(std::uint16_t v)
{
    u8(static_cast<std::uint8_t>(v & 0xff));
    u8(static_cast<std::uint8_t>(v >> 8));
}

void MlvWriter::u32(std::uint32_t v)
{
    u16(static_cast<std::uint16_t>(v & 0xffff));
    u16(static_cast<std::uint16_t>(v >> 16));
}

void MlvWriter::u64(std::uint64_t v)
{
    u32(static_cast<std::uint32_t>(v & 0xffffffffu));
    u32(static_cast<std::uint32_t>(v >> 32));
}

void MlvWriter::text(const std::string& s, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        u8(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
}

void MlvWriter::header(const char fourCc[4], std::uint32_t size, std::uint64_t timestamp)
{
    for (int i = 0; i < 4; ++i)
        u8(static_cast<std::uint8_t>(fourCc[i]));
    u32(size);
    u64(timestamp);
}

void MlvWriter::fileHeader(std::uint64_t guid, std::uint16_t fileNumber, std::uint16_t videoClass,
                           std::uint16_t audioClass, std::uint32_t frameCount, std::uint32_t fpsNumerator,
                           std::uint32_t fpsDenominator)
{
    text("MLVI", 4);
    u32(52);
    text("v2.0", 8);
    u64(guid);
    u16(fileNumber);
    u16(0);  // chunk count: recorders leave it 0
    u32(0);
    u16(videoClass);
    u16(audioClass);
    u32(frameCount);
    u32(0);
    u32(fpsNumerator);
    u32(fpsDenominator);
}

void MlvWriter::rawInfo(int width, int height, int bitsPerPixel, int black, int white, std::uint64_t timestamp)
{
    header("RAWI", 180, timestamp);
    u16(static_cast<std::uint16_t>(width));
    u16(static_cast<std::uint16_t>(height));
    u32(1);      // api version
    u32(0x12345678);  // camera buffer pointer, meaningless here
    u32(3528);   // full sensor buffer height
    u32(5936);   // and width: larger than the recording, as in real files
    u32(5936 * bitsPerPixel / 8);
    u32(static_cast<std::uint32_t>(5936 * 3528 * bitsPerPixel / 8));
    u32(static_cast<std::uint32_t>(bitsPerPixel));
    u32(static_cast<std::uint32_t>(black));
    u32(static_cast<std::uint32_t>(white));
    u32(0);
    u32(0);
    u32(static_cast<std::uint32_t>(width));
    u32(static_cast<std::uint32_t>(height));
    // Active area of the whole sensor buffer: bigger than the recorded frame.
    u32(28);
    u32(146);
    u32(3528);
    u32(5936);
    u32(0);
    u32(0);
    u32(0x02010100);
    u32(1);
    const int matrix[9] = {6722, -635, -963, -4287, 12460, 2028, -908, 2162, 5668};
    for (const int m : matrix) {
        u32(static_cast<std::uint32_t>(m));
        u32(10000);
    }
    u32(1100);
}

void MlvWriter::exposure(std::uint32_t iso, std::uint64_t shutterMicroseconds, std::uint64_t timestamp)
{
    header("EXPO", 40, timestamp);
    u32(0);
    u32(iso);
    u32(iso);
    u32(0);
    u64(shutterMicroseconds);
}

void MlvWriter::lens(std::uint16_t focalMm, std::uint16_t focusMm, std::uint16_t apertureHundredths,
                     const std::string& name, const std::string& serial, std::uint32_t blockSize,
                     std::uint64_t timestamp)
{
    const std::size_t start = mBytes.size();
    header("LENS", blockSize, timestamp);
    u16(focalMm);
    u16(focusMm);
    u16(apertureHundredths);
    u8(0);
    u8(1);
    u32(0);
    u32(0x61);
    text(name, 32);
    text(serial, 32);
    mBytes.resize(start + blockSize, 0);  // a short block loses its tail, a long one gains padding
}

void MlvWriter::clock(int year, int month, int day, int hour, int minute, int second, std::uint64_t timestamp)
{
    header("RTCI", 44, timestamp);
    u16(static_cast<std::uint16_t>(second));
    u16(static_cast<std::uint16_t>(minute));
    u16(static_cast<std::uint16_t>(hour));
    u16(static_cast<std::uint16_t>(day));
    u16(static_cast<std::uint16_t>(month));
    u16(static_cast<std::uint16_t>(year));
    u16(0);
    u16(0);
    u16(0);
    u16(0);
    text("CET", 8);
}

void MlvWriter::camera(const std::string& name, std::uint32_t model, const std::string& serial,
                       std::uint64_t timestamp)
{
    header("IDNT", 84, timestamp);
    text(name, 32);
    u32(model);
    text(serial, 32);
}

void MlvWriter::whiteBalance(std::uint32_t mode, std::uint32_t kelvin, std::uint32_t red, std::uint32_t green,
                             std::uint32_t blue, std::uint64_t timestamp)
{
    header("WBAL", 44, timestamp);
    u32(mode);
    u32(kelvin);
    u32(red);
    u32(green);
    u32(blue);
    u32(0);
    u32(0);
}

void MlvWriter::capture(int binX, int skipX, int binY, int skipY, std::uint64_t timestamp)
{
    header("RAWC", 32, timestamp);
    u16(5796);
    u16(3870);
    u16(100);
    u16(0);
    u8(static_cast<std::uint8_t>(binX));
    u8(static_cast<std::uint8_t>(skipX));
    u8(static_cast<std::uint8_t>(binY));
    u8(static_cast<std::uint8_t>(skipY));
    u16(0);
    u16(0);
}

void MlvWriter::info(const std::string& text_, std::uint32_t padding, std::uint64_t timestamp)
{
    header("INFO", static_cast<std::uint32_t>(16 + text_.size() + padding), timestamp);
    text(text_, text_.size());
    zeros(padding);
}

void MlvWriter::audioFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint64_t timestamp)
{
    header("WAVI", 32, timestamp);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * bits / 8);
    u16(static_cast<std::uint16_t>(channels * bits / 8));
    u16(bits);
}

void MlvWriter::audioFrame(std::uint32_t frameNumber, const std::vector<std::uint8_t>& pcm, std::uint32_t frameSpace,
                           std::uint64_t timestamp)
{
    header("AUDF", static_cast<std::uint32_t>(24 + frameSpace + pcm.size()), timestamp);
    u32(frameNumber);
    u32(frameSpace);
    mBytes.insert(mBytes.end(), frameSpace, 0xa5);
    mBytes.insert(mBytes.end(), pcm.begin(), pcm.end());
}

void MlvWriter::nullBlock(std::uint32_t size, std::uint64_t timestamp)
{
    header("NULL", size, timestamp);
    mBytes.insert(mBytes.end(), size - 16, 0xa5);
}

void MlvWriter::padTo(std::size_t alignment)
{
    std::size_t gap = (alignment - mBytes.size() % alignment) % alignment;
    if (gap == 0)
        return;
    if (gap < 16)
        gap += alignment;
    nullBlock(static_cast<std::uint32_t>(gap));
}

void MlvWriter::block(const char fourCc[4], const std::vector<std::uint8_t>& body, std::uint64_t timestamp)
{
    header(fourCc, static_cast<std::uint32_t>(16 + body.size()), timestamp);
    mBytes.insert(mBytes.end(), body.begin(), body.end());
}

std::vector<std::uint8_t> MlvWriter::pack(const std::vector<std::uint16_t>& pixels, int bitsPerPixel)
{
    // Straight from the rule, one bit at a time: no shortcut shared with the converter.
    std::vector<bool> bits;
    for (const std::uint16_t p : pixels) {
        for (int b = bitsPerPixel - 1; b >= 0; --b)
            bits.push_back((p >> b) & 1);
    }
    while (bits.size() % 16)
        bits.push_back(false);
    std::vector<std::uint8_t> out;
    for (std::size_t w = 0; w < bits.size(); w += 16) {
        unsigned word = 0;
        for (std::size_t b = 0; b < 16; ++b)
            word = (word << 1) | (bits[w + b] ? 1u : 0u);
        out.push_back(static_cast<std::uint8_t>(word & 0xff));
        out.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return out;  // a stream ending mid-word still stores that whole word
}

void MlvWriter::videoFrame(std::uint32_t frameNumber, const std::vector<std::uint16_t>& pixels, int bitsPerPixel,
                           std::uint32_t frameSpace, std::uint32_t trailing, std::uint64_t timestamp)
{
    videoPayload(frameNumber, pack(pixels, bitsPerPixel), frameSpace, trailing, timestamp);
}

void MlvWriter::videoPayload(std::uint32_t frameNumber, const std::vector<std::uint8_t>& payload,
                             std::uint32_t frameSpace, std::uint32_t trailing, std::uint64_t timestamp)
{
    header("VIDF", static_cast<std::uint32_t>(32 + frameSpace + payload.size() + trailing), timestamp);
    u32(frameNumber);
    u16(0);
    u16(0);
    u16(0);
    u16(0);
    u32(frameSpace);
    mBytes.insert(mBytes.end(), frameSpace, 0xee);
    mBytes.insert(mBytes.end(), payload.begin(), payload.end());
    mBytes.insert(mBytes.end(), trailing, 0x5a);
}

bool MlvWriter::save(const std::string& path) const
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(mBytes.data()), static_cast<std::streamsize>(mBytes.size()));
    return static_cast<bool>(file);
}

std::vector<std::uint16_t> testPattern(int width, int height, int bitsPerPixel, unsigned seed)
{
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::uint32_t state = seed * 2654435761u + 12345u;
    const std::uint32_t mask = (1u << bitsPerPixel) - 1;
    for (std::uint16_t& p : pixels) {
        state = state * 1664525u + 1013904223u;
        p = static_cast<std::uint16_t>((state >> 12) & mask);
    }
    return pixels;
}

}  // namespace mlvtest
