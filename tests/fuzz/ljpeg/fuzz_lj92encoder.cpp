// libFuzzer target for the lossless-JPEG encoder: whatever it encodes, our decoder must give back
// exactly (clamped to the precision). Input: a shape byte (components, precision), a width byte
// (width, whether to rank predictors), then samples as 16-bit little-endian words.
#include "ljpeg/lj92decoder.h"
#include "ljpeg/lj92encoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    mlv2dng::Lj92Encoder::Shape shape;
    shape.components = 1 + (data[0] & 3);
    shape.precision = 2 + (data[0] >> 2) % 15;
    shape.width = 1 + (data[1] & 63);
    shape.choosePredictor = (data[1] & 128) != 0;
    const std::size_t words = (size - 2) / 2;
    const std::size_t line = std::size_t(shape.width) * std::size_t(shape.components);
    shape.height = int(words / line);
    if (shape.height == 0)
        return 0;
    std::vector<std::uint16_t> samples(line * std::size_t(shape.height));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = std::uint16_t(data[2 + 2 * i] | data[3 + 2 * i] << 8);

    mlv2dng::Lj92Encoder encoder;
    std::vector<std::uint8_t> stream;
    const std::size_t length = encoder.encode(samples.data(), shape, stream);
    if (length == 0 || length > stream.size())
        std::abort();
    stream.resize(length);
    mlv2dng::Lj92Image image;
    std::string error;
    if (!mlv2dng::Lj92Decoder().decode(stream.data(), stream.size(), samples.size(), image, error))
        std::abort();
    const std::uint16_t maximum = std::uint16_t((1u << shape.precision) - 1);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (image.samples[i] != std::min(samples[i], maximum))
            std::abort();
    }
    return 0;
}
