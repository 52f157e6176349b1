// Builds MLV files for tests, block by block, straight from the container's byte layouts.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace mlvtest {

// Little-endian fields of the given byte width, appended to out.
void put(std::vector<std::uint8_t>& out, int width, std::initializer_list<std::uint64_t> values);

class MlvWriter
{
public:
    // The headers of a recording as mlv_lite writes them: levels 2048 and 15000 at 14 bits, the camera's
    // metadata, ISO 400 at 1/50 s and, with sound, stereo 16-bit at 48 kHz; then a NULL pad to 512.
    static MlvWriter recording(int width, int height, int bits, std::uint16_t videoClass = 1, bool sound = false,
                               std::uint64_t guid = 0xabcdef);
    void fileHeader(std::uint64_t guid, std::uint16_t fileNumber, std::uint16_t videoClass, std::uint16_t audioClass,
                    std::uint32_t frameCount);
    void rawInfo(int width, int height, int bitsPerPixel, int black, int white);
    void exposure(std::uint32_t iso, std::uint64_t shutterMicroseconds, std::uint64_t timestamp = 2);
    // The metadata a camera writes once (IDNT, LENS, RTCI, WBAL, RAWC, INFO), with fixed values:
    // a 5D Mark III "4B0A1", EF24-70mm at 24 mm f/4 focused at 1.5 m, 2024-03-09 10:11:12,
    // gains 2048/1024/1536, 3x5 binning, "take 3".
    void cameraMetadata();
    void audioFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits);
    void audioFrame(std::uint32_t frameNumber, const std::vector<std::uint8_t>& pcm, std::uint32_t frameSpace = 0,
                    std::uint64_t timestamp = 100);
    // Pads with a NULL block to the next multiple of alignment, as recorders do after the headers.
    void padTo(std::size_t alignment);
    void block(const char fourCc[4], const std::vector<std::uint8_t>& body, std::uint64_t timestamp = 0);

    // A video frame packed at the given depth; frameSpace filler before the data, trailing bytes after it.
    void videoFrame(std::uint32_t frameNumber, const std::vector<std::uint16_t>& pixels, int bitsPerPixel,
                    std::uint32_t frameSpace = 0, std::uint32_t trailing = 0, std::uint64_t timestamp = 1000);
    void videoPayload(std::uint32_t frameNumber, const std::vector<std::uint8_t>& payload, std::uint32_t frameSpace = 0,
                      std::uint32_t trailing = 0, std::uint64_t timestamp = 1000);

    // MLV packing: the pixels as one MSB-first bit stream, cut into 16-bit words stored low byte first.
    static std::vector<std::uint8_t> pack(const std::vector<std::uint16_t>& pixels, int bitsPerPixel);

    std::vector<std::uint8_t>& bytes() { return mBytes; }
    bool save(const std::string& path) const;

private:
    void header(const char fourCc[4], std::uint32_t size, std::uint64_t timestamp);
    void put(int width, std::initializer_list<std::uint64_t> values) { mlvtest::put(mBytes, width, values); }
    void text(const std::string& s, std::size_t width);

    std::vector<std::uint8_t> mBytes;
};

// A level given for 14 bits, at another depth.
inline int level(int value14, int bits)
{
    return bits <= 14 ? value14 >> (14 - bits) : value14 << (bits - 14);
}

// Pseudo-random pixels over the whole range of the depth, so a misplaced or mangled pixel shows.
std::vector<std::uint16_t> testPattern(int width, int height, int bitsPerPixel, unsigned seed);

// A clip with a stereo sound block beside each video frame, both timed 40 ms apart; the seed varies the
// content, so two clips of one seed are byte-identical.
bool writeSoundClip(const std::string& path, unsigned seed, int width, int height, std::uint32_t frames, int bits = 14);

}  // namespace mlvtest
