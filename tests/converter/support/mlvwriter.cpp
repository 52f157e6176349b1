#include "mlvwriter.h"

#include <fstream>

namespace mlvtest {

void put(std::vector<std::uint8_t>& out, int width, std::initializer_list<std::uint64_t> values)
{
    for (const std::uint64_t v : values)
        for (int i = 0; i < width; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void MlvWriter::text(const std::string& s, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        mBytes.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
}

void MlvWriter::header(const char fourCc[4], std::uint32_t size, std::uint64_t timestamp)
{
    text(std::string(fourCc, 4), 4);
    put(4, {size});
    put(8, {timestamp});
}

void MlvWriter::fileHeader(std::uint64_t guid, std::uint16_t fileNumber, std::uint16_t videoClass,
                           std::uint16_t audioClass, std::uint32_t frameCount)
{
    text("MLVI", 4);
    put(4, {52});
    text("v2.0", 8);
    put(8, {guid});
    put(2, {fileNumber, 0});  // chunk count: recorders leave it 0
    put(4, {0});
    put(2, {videoClass, audioClass});
    put(4, {frameCount, 0, 25000, 1000});
}

MlvWriter MlvWriter::recording(int width, int height, int bits, std::uint16_t videoClass, bool sound,
                               std::uint64_t guid)
{
    MlvWriter w;
    w.fileHeader(guid, 0, videoClass, sound ? 1 : 0, 4);
    w.rawInfo(width, height, bits, level(2048, bits), level(15000, bits));
    w.cameraMetadata();
    w.exposure(400, 20000);
    if (sound)
        w.audioFormat(2, 48000, 16);
    w.padTo(512);
    return w;
}

void MlvWriter::rawInfo(int width, int height, int bitsPerPixel, int black, int white)
{
    header("RAWI", 180, 1);
    put(2, {std::uint64_t(width), std::uint64_t(height)});
    // The sensor buffer and its active area are larger than the recording, as in real files.
    const std::uint64_t bits = std::uint64_t(bitsPerPixel);
    put(4, {1, 0x12345678, 3528, 5936, 5936 * bits / 8, 5936 * 3528 * bits / 8, bits});
    put(4, {std::uint64_t(black), std::uint64_t(white), 0, 0, std::uint64_t(width), std::uint64_t(height)});
    put(4, {28, 146, 3528, 5936, 0, 0, 0x02010100, 1});
    for (const int m : {6722, -635, -963, -4287, 12460, 2028, -908, 2162, 5668})
        put(4, {std::uint32_t(m), 10000});
    put(4, {1100});
}

void MlvWriter::exposure(std::uint32_t iso, std::uint64_t shutterMicroseconds, std::uint64_t timestamp)
{
    header("EXPO", 40, timestamp);
    put(4, {0, iso, iso, 0});
    put(8, {shutterMicroseconds});
}

void MlvWriter::cameraMetadata()
{
    header("IDNT", 84, 5);
    text("Canon EOS 5D Mark III", 32);
    put(4, {0x80000285});
    text("4B0A1", 32);
    header("LENS", 96, 3);
    put(2, {24, 1500, 400});
    put(1, {0, 1});
    put(4, {0, 0x61});
    text("EF24-70mm f/2.8L II USM", 32);
    text("0000123456", 32);
    header("RTCI", 44, 4);
    put(2, {12, 11, 10, 9, 2, 124, 0, 0, 0, 0});  // seconds first; month 0-11, year since 1900
    text("CET", 8);
    header("WBAL", 44, 6);
    put(4, {6, 5500, 2048, 1024, 1536, 0, 0});
    header("RAWC", 32, 7);
    put(2, {5796, 3870, 100, 0});
    put(1, {3, 0, 5, 0});
    put(2, {0, 0});
    header("INFO", 22, 8);
    text("take 3", 6);
}

void MlvWriter::audioFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    header("WAVI", 32, 9);
    put(2, {1, channels});
    put(4, {rate, rate * channels * bits / 8});
    put(2, {std::uint64_t(channels * bits / 8), bits});
}

void MlvWriter::audioFrame(std::uint32_t frameNumber, const std::vector<std::uint8_t>& pcm, std::uint32_t frameSpace,
                           std::uint64_t timestamp)
{
    header("AUDF", static_cast<std::uint32_t>(24 + frameSpace + pcm.size()), timestamp);
    put(4, {frameNumber, frameSpace});
    mBytes.insert(mBytes.end(), frameSpace, 0xa5);
    mBytes.insert(mBytes.end(), pcm.begin(), pcm.end());
}

void MlvWriter::padTo(std::size_t alignment)
{
    std::size_t gap = (alignment - mBytes.size() % alignment) % alignment;
    if (gap > 0 && gap < 16)
        gap += alignment;
    if (gap > 0)
        block("NULL", std::vector<std::uint8_t>(gap - 16, 0xa5));
}

void MlvWriter::block(const char fourCc[4], const std::vector<std::uint8_t>& body, std::uint64_t timestamp)
{
    header(fourCc, static_cast<std::uint32_t>(16 + body.size()), timestamp);
    mBytes.insert(mBytes.end(), body.begin(), body.end());
}

std::vector<std::uint8_t> MlvWriter::pack(const std::vector<std::uint16_t>& pixels, int bitsPerPixel)
{
    // Straight from the rule, one bit at a time: no shortcut shared with the converter. A stream
    // ending mid-word still stores that whole word.
    std::vector<std::uint8_t> out((pixels.size() * std::size_t(bitsPerPixel) + 15) / 16 * 2, 0);
    std::size_t bit = 0;  // position in the MSB-first stream
    for (const std::uint16_t p : pixels)
        for (int b = bitsPerPixel - 1; b >= 0; --b, ++bit)
            if ((p >> b) & 1)  // bits 0-7 of a word are its high byte, stored second
                out[bit / 16 * 2 + (bit % 16 < 8 ? 1 : 0)] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
    return out;
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
    put(4, {frameNumber});
    put(2, {0, 0, 0, 0});
    put(4, {frameSpace});
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
    for (std::uint16_t& p : pixels) {
        state = state * 1664525u + 1013904223u;
        p = static_cast<std::uint16_t>((state >> 12) & ((1u << bitsPerPixel) - 1));
    }
    return pixels;
}

bool writeSoundClip(const std::string& path, unsigned seed, int width, int height, std::uint32_t frames, int bits)
{
    MlvWriter writer = MlvWriter::recording(width, height, bits, 1, true, 0x1234 + seed);
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        const std::uint64_t time = 1000000 + frame * 40000;
        writer.videoFrame(frame, testPattern(width, height, bits, seed + frame), bits, 32, 0, time);
        writer.audioFrame(frame, std::vector<std::uint8_t>(7680, std::uint8_t(seed + frame)), 0, time);
    }
    return writer.save(path);
}

}  // namespace mlvtest
