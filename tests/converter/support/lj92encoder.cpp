#include "lj92encoder.h"

#include <array>
#include <cstdlib>
#include <stdexcept>

namespace mlv2dng {

namespace {

constexpr int kCategories = 17;

struct CodeTable
{
    std::array<std::uint16_t, kCategories> code{};
    std::array<std::uint8_t, kCategories> length{};
};

// Two codes of each length from 2 to 8, then three of 16 bits (longer than any lookup table), the
// all-ones code left out. Table t lists the categories rotated by 5t, so tables differ. Its definition
// is appended to the DHT payload.
CodeTable fixedTable(int t, std::vector<std::uint8_t>& dht)
{
    const std::array<std::uint8_t, 16> codesPerLength = {0, 2, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0, 0, 0, 0, 3};
    dht.push_back(std::uint8_t(t));
    dht.insert(dht.end(), codesPerLength.begin(), codesPerLength.end());
    CodeTable table;
    std::uint32_t code = 0;
    for (std::size_t length = 1, next = 0; length <= 16; ++length, code <<= 1)
        for (int i = 0; i < codesPerLength[length - 1]; ++i, ++next) {
            const std::size_t category = (next + 5 * std::size_t(t)) % kCategories;
            dht.push_back(std::uint8_t(category));
            table.code[category] = std::uint16_t(code++);
            table.length[category] = std::uint8_t(length);
        }
    return table;
}

struct ByteSink
{
    std::vector<std::uint8_t> out;
    std::uint8_t current = 0;
    int filled = 0;

    void word(std::uint32_t v) { out.insert(out.end(), {std::uint8_t(v >> 8), std::uint8_t(v & 0xFF)}); }
    void segment(std::uint8_t marker, const std::vector<std::uint8_t>& payload)
    {
        word(0xFF00u | marker);
        word(static_cast<std::uint32_t>(payload.size() + 2));
        out.insert(out.end(), payload.begin(), payload.end());
    }
    // Most significant bit first; FF bytes in the entropy data are followed by a stuffed 00.
    void bits(std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            current = static_cast<std::uint8_t>((current << 1) | ((value >> i) & 1u));
            if (++filled == 8) {
                out.push_back(current);
                if (current == 0xFF)
                    out.push_back(0x00);
                current = 0, filled = 0;
            }
        }
    }
    // Pads the last byte with one bits.
    void flush()
    {
        while (filled != 0)
            bits(1, 1);
    }
};

}  // namespace

std::vector<std::uint8_t> encodeLj92(const std::vector<std::uint16_t>& samples, const Lj92EncodeOptions& o)
{
    const std::size_t X = std::size_t(o.width), Y = std::size_t(o.height), N = std::size_t(o.components);
    if (samples.size() != X * Y * N)
        throw std::invalid_argument("sample count does not match the frame");

    std::vector<CodeTable> tables;
    std::vector<std::uint8_t> dht, scan{std::uint8_t(N)};
    std::vector<std::uint8_t> frame{std::uint8_t(o.precision), std::uint8_t(Y >> 8),   std::uint8_t(Y & 0xFF),
                                    std::uint8_t(X >> 8),      std::uint8_t(X & 0xFF), std::uint8_t(N)};
    for (std::size_t c = 0; c < N; ++c) {
        if (c == 0 || o.tablePerComponent)
            tables.push_back(fixedTable(int(c), dht));
        frame.insert(frame.end(), {std::uint8_t(c + 1), 0x11, 0});
        scan.insert(scan.end(), {std::uint8_t(c + 1), std::uint8_t((o.tablePerComponent ? c : 0) << 4)});
    }
    scan.insert(scan.end(), {std::uint8_t(o.predictor), 0, 0});

    ByteSink out;
    out.word(0xFFD8);
    out.segment(0xC4, dht);
    out.segment(0xC3, frame);
    if (o.restartInterval)
        out.segment(0xDD, {std::uint8_t(o.restartInterval >> 8), std::uint8_t(o.restartInterval & 0xFF)});
    out.segment(0xDA, scan);

    const auto at = [&](std::size_t x, std::size_t y, std::size_t c) {
        return std::int32_t(samples[(y * X + x) * N + c]);
    };
    const std::size_t linesPerInterval = o.restartInterval ? static_cast<std::size_t>(o.restartInterval) / X : Y;
    for (std::size_t y = 0; y < Y; ++y) {
        const bool startsInterval = y % linesPerInterval == 0;
        if (y > 0 && startsInterval) {
            out.flush();
            out.word(0xFFD0 + (y / linesPerInterval - 1) % 8);
        }
        for (std::size_t x = 0; x < X; ++x)
            for (std::size_t c = 0; c < N; ++c) {
                std::int32_t prediction = 1 << (o.precision - 1);
                if (startsInterval != (x == 0)) {
                    prediction = startsInterval ? at(x - 1, y, c) : at(x, y - 1, c);
                } else if (!startsInterval) {
                    const std::int32_t a = at(x - 1, y, c), b = at(x, y - 1, c), d = at(x - 1, y - 1, c);
                    const std::int32_t all[] = {a,           b, d, a + b - d, a + ((b - d) >> 1), b + ((a - d) >> 1),
                                                (a + b) >> 1};
                    prediction = all[o.predictor - 1];
                }
                // Modulo 2^16; -32768 and +32768 share category 16, which has no extra bits.
                const std::int32_t difference = static_cast<std::int16_t>(at(x, y, c) - prediction);
                int category = 0;  // the bits in the difference's magnitude
                for (std::uint32_t magnitude = std::uint32_t(std::abs(difference)); magnitude; magnitude >>= 1)
                    ++category;
                const CodeTable& table = tables[o.tablePerComponent ? c : 0];
                out.bits(table.code[std::size_t(category)], table.length[std::size_t(category)]);
                out.bits(std::uint32_t(difference < 0 ? difference + (1 << category) - 1 : difference),
                         category < 16 ? category : 0);
            }
    }
    out.flush();
    out.word(0xFFD9);
    return std::move(out.out);
}

}  // namespace mlv2dng
