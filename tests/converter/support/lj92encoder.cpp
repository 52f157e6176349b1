#include "lj92encoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

namespace mlv2dng {

namespace {

constexpr int kCategories = 17;
constexpr int kReserved = kCategories;  // keeps the all-ones code out of real use

struct CodeTable
{
    std::array<std::uint8_t, 16> bits{};  // codes per length 1..16
    std::vector<std::uint8_t> values;     // categories in code order
    std::array<std::uint16_t, kCategories> code{};
    std::array<std::uint8_t, kCategories> length{};  // 0 = no code
};

int categoryOf(std::int32_t difference)
{
    int category = 0;
    for (std::uint32_t magnitude = std::uint32_t(std::abs(difference)); magnitude; magnitude >>= 1)
        ++category;
    return category;
}

// Huffman code lengths for the used categories plus a reserved symbol of weight zero, which
// ends up with the longest code and is then dropped, as T.81 Annex K does.
CodeTable optimalTable(const std::array<std::size_t, kCategories>& frequency)
{
    std::vector<std::pair<std::uint64_t, std::vector<int>>> groups{{0, {kReserved}}};
    for (int category = 0; category < kCategories; ++category) {
        if (frequency[static_cast<std::size_t>(category)] > 0)
            groups.push_back({frequency[static_cast<std::size_t>(category)], {category}});
    }
    CodeTable table;
    std::vector<std::pair<int, int>> lengthAndSymbol;
    for (const auto& group : groups)
        lengthAndSymbol.emplace_back(0, group.second[0]);
    while (groups.size() > 1) {
        std::sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        auto last = std::move(groups.back());
        groups.pop_back();
        groups.back().first += last.first;
        groups.back().second.insert(groups.back().second.end(), last.second.begin(), last.second.end());
        for (auto& entry : lengthAndSymbol)
            entry.first += std::count(groups.back().second.begin(), groups.back().second.end(), entry.second) > 0;
    }
    std::sort(lengthAndSymbol.begin(), lengthAndSymbol.end());
    std::array<int, 64> countOfLength{};
    for (const auto& entry : lengthAndSymbol) {
        ++countOfLength[static_cast<std::size_t>(entry.first)];
        if (entry.second != kReserved)
            table.values.push_back(static_cast<std::uint8_t>(entry.second));
    }

    // Limit lengths to 16 (Annex K.3): move pairs of the longest codes up the tree.
    for (std::size_t i = countOfLength.size() - 1; i > 16; --i) {
        while (countOfLength[i] > 0) {
            std::size_t j = i - 2;
            while (countOfLength[j] == 0)
                --j;
            countOfLength[i] -= 2;
            countOfLength[i - 1] += 1;
            countOfLength[j + 1] += 2;
            countOfLength[j] -= 1;
        }
    }
    std::size_t longest = 16;
    while (countOfLength[longest] == 0)
        --longest;
    countOfLength[longest] -= 1;  // the reserved symbol, last in order

    std::uint32_t code = 0;
    std::size_t next = 0;
    for (std::size_t length = 1; length <= 16; ++length, code <<= 1) {
        table.bits[length - 1] = static_cast<std::uint8_t>(countOfLength[length]);
        for (int i = 0; i < countOfLength[length]; ++i, ++next) {
            table.code[table.values[next]] = static_cast<std::uint16_t>(code++);
            table.length[table.values[next]] = static_cast<std::uint8_t>(length);
        }
    }
    return table;
}

class ByteSink
{
public:
    std::vector<std::uint8_t> out;

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
            current_ = static_cast<std::uint8_t>((current_ << 1) | ((value >> i) & 1u));
            if (++filled_ == 8) {
                out.push_back(current_);
                if (current_ == 0xFF)
                    out.push_back(0x00);
                current_ = 0;
                filled_ = 0;
            }
        }
    }
    // Pads the last byte with one bits.
    void flush()
    {
        while (filled_ != 0)
            bits(1, 1);
    }

private:
    std::uint8_t current_ = 0;
    int filled_ = 0;
};

}  // namespace

std::vector<std::uint8_t> encodeLj92(const std::vector<std::uint16_t>& samples, const Lj92EncodeOptions& o)
{
    if (o.width < 1 || o.width > 65535 || o.height < 1 || o.height > 65535 || o.components < 1 || o.components > 4
        || o.precision < 2 || o.precision > 16 || o.predictor < 1 || o.predictor > 7)
        throw std::invalid_argument("bad frame shape, precision or predictor");
    if (o.restartInterval < 0 || o.restartInterval > 65535 || o.restartInterval % o.width != 0)
        throw std::invalid_argument("restart interval must be whole lines");
    const std::size_t X = static_cast<std::size_t>(o.width);
    const std::size_t Y = static_cast<std::size_t>(o.height);
    const std::size_t N = static_cast<std::size_t>(o.components);
    if (samples.size() != X * Y * N)
        throw std::invalid_argument("sample count does not match the frame");
    if (o.precision < 16 && std::any_of(samples.begin(), samples.end(), [&](std::uint16_t s) { return s >> o.precision; }))
        throw std::invalid_argument("sample does not fit the precision");

    // Differences, in coding order.
    const auto at = [&](std::size_t x, std::size_t y, std::size_t c) { return std::int32_t(samples[(y * X + x) * N + c]); };
    const std::size_t linesPerInterval = o.restartInterval ? static_cast<std::size_t>(o.restartInterval) / X : Y;
    std::vector<std::int32_t> differences;
    std::array<std::size_t, kCategories> frequency[4] = {};
    for (std::size_t y = 0; y < Y; ++y) {
        const bool startsInterval = y % linesPerInterval == 0;
        for (std::size_t x = 0; x < X; ++x) {
            for (std::size_t c = 0; c < N; ++c) {
                std::int32_t prediction = 1 << (o.precision - 1);
                if (startsInterval != (x == 0)) {
                    prediction = startsInterval ? at(x - 1, y, c) : at(x, y - 1, c);
                } else if (!startsInterval) {
                    const std::int32_t a = at(x - 1, y, c), b = at(x, y - 1, c), d = at(x - 1, y - 1, c);
                    const std::int32_t all[] = {a, b, d, a + b - d, a + ((b - d) >> 1), b + ((a - d) >> 1), (a + b) >> 1};
                    prediction = all[o.predictor - 1];
                }
                std::int32_t difference = (at(x, y, c) - prediction) & 0xFFFF;
                if (difference > 32768)
                    difference -= 65536;
                differences.push_back(difference);
                ++frequency[o.tablePerComponent ? c : 0][static_cast<std::size_t>(categoryOf(difference))];
            }
        }
    }

    const std::size_t usedTables = o.tablePerComponent ? N : 1;
    std::vector<CodeTable> tables;
    std::vector<std::uint8_t> dht;
    for (std::size_t t = 0; t < usedTables; ++t) {
        tables.push_back(optimalTable(frequency[t]));
        dht.push_back(static_cast<std::uint8_t>(t));
        dht.insert(dht.end(), tables[t].bits.begin(), tables[t].bits.end());
        dht.insert(dht.end(), tables[t].values.begin(), tables[t].values.end());
    }
    std::vector<std::uint8_t> frame{std::uint8_t(o.precision), std::uint8_t(Y >> 8), std::uint8_t(Y & 0xFF),
                                    std::uint8_t(X >> 8), std::uint8_t(X & 0xFF), std::uint8_t(N)};
    std::vector<std::uint8_t> scan{std::uint8_t(N)};
    for (std::size_t c = 0; c < N; ++c) {
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
    const std::size_t perInterval = linesPerInterval * X * N;
    for (std::size_t i = 0; i < differences.size(); ++i) {
        if (i > 0 && i % perInterval == 0) {
            out.flush();
            out.word(0xFFD0 + (i / perInterval - 1) % 8);
        }
        const std::int32_t d = differences[i];
        const int category = categoryOf(d);
        const CodeTable& table = tables[o.tablePerComponent ? i % N : 0];
        out.bits(table.code[std::size_t(category)], table.length[std::size_t(category)]);
        out.bits(std::uint32_t(d < 0 ? d + (1 << category) - 1 : d), category < 16 ? category : 0);
    }
    out.flush();
    out.word(0xFFD9);
    return std::move(out.out);
}

}  // namespace mlv2dng
