#include "lj92encoder.h"

#include <algorithm>
#include <stdexcept>
#include <string>

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
    if (difference == 32768)
        return 16;
    std::uint32_t magnitude = static_cast<std::uint32_t>(difference < 0 ? -difference : difference);
    int category = 0;
    while (magnitude) {
        ++category;
        magnitude >>= 1;
    }
    return category;
}

void assignCanonicalCodes(CodeTable& table)
{
    std::uint32_t code = 0;
    std::size_t next = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < table.bits[static_cast<std::size_t>(length - 1)]; ++i) {
            const std::uint8_t category = table.values[next++];
            table.code[category] = static_cast<std::uint16_t>(code++);
            table.length[category] = static_cast<std::uint8_t>(length);
        }
        code <<= 1;
    }
}

CodeTable flatTable()
{
    CodeTable table;
    table.bits[4] = kCategories;
    for (int category = 0; category < kCategories; ++category)
        table.values.push_back(static_cast<std::uint8_t>(category));
    assignCanonicalCodes(table);
    return table;
}

// Huffman code lengths for the used categories plus a reserved symbol of weight zero, which
// ends up with the longest code and is then dropped, as T.81 Annex K does.
CodeTable optimalTable(const std::array<std::size_t, kCategories>& frequency)
{
    struct Node
    {
        std::uint64_t weight;
        int parent;
    };
    std::vector<Node> nodes;
    std::vector<int> symbolOfLeaf;
    for (int category = 0; category < kCategories; ++category) {
        if (frequency[static_cast<std::size_t>(category)] > 0) {
            nodes.push_back({frequency[static_cast<std::size_t>(category)], -1});
            symbolOfLeaf.push_back(category);
        }
    }
    nodes.push_back({0, -1});
    symbolOfLeaf.push_back(kReserved);
    const std::size_t leaves = nodes.size();

    std::vector<int> open;
    for (std::size_t i = 0; i < leaves; ++i)
        open.push_back(static_cast<int>(i));
    while (open.size() > 1) {
        std::sort(open.begin(), open.end(), [&](int a, int b) {
            return nodes[static_cast<std::size_t>(a)].weight < nodes[static_cast<std::size_t>(b)].weight;
        });
        const int first = open[0];
        const int second = open[1];
        const int merged = static_cast<int>(nodes.size());
        nodes.push_back({nodes[static_cast<std::size_t>(first)].weight + nodes[static_cast<std::size_t>(second)].weight, -1});
        nodes[static_cast<std::size_t>(first)].parent = merged;
        nodes[static_cast<std::size_t>(second)].parent = merged;
        open.erase(open.begin(), open.begin() + 2);
        open.push_back(merged);
    }

    std::vector<std::pair<int, int>> lengthAndSymbol;
    std::array<int, 64> countOfLength{};
    for (std::size_t i = 0; i < leaves; ++i) {
        int depth = 0;
        for (int n = static_cast<int>(i); nodes[static_cast<std::size_t>(n)].parent >= 0; n = nodes[static_cast<std::size_t>(n)].parent)
            ++depth;
        lengthAndSymbol.emplace_back(depth, symbolOfLeaf[i]);
        ++countOfLength[static_cast<std::size_t>(depth)];
    }
    std::sort(lengthAndSymbol.begin(), lengthAndSymbol.end());

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

    CodeTable table;
    for (int length = 1; length <= 16; ++length)
        table.bits[static_cast<std::size_t>(length - 1)] = static_cast<std::uint8_t>(countOfLength[static_cast<std::size_t>(length)]);
    for (const auto& entry : lengthAndSymbol) {
        if (entry.second != kReserved)
            table.values.push_back(static_cast<std::uint8_t>(entry.second));
    }
    assignCanonicalCodes(table);
    return table;
}

class ByteSink
{
public:
    void byte(std::uint8_t value) { out_.push_back(value); }
    void word(std::uint16_t value)
    {
        byte(static_cast<std::uint8_t>(value >> 8));
        byte(static_cast<std::uint8_t>(value & 0xFF));
    }
    void marker(std::uint8_t code)
    {
        byte(0xFF);
        byte(code);
    }
    void segment(std::uint8_t code, const std::vector<std::uint8_t>& payload)
    {
        if (payload.size() > 65533)
            throw std::invalid_argument("segment payload too long");
        marker(code);
        word(static_cast<std::uint16_t>(payload.size() + 2));
        out_.insert(out_.end(), payload.begin(), payload.end());
    }
    std::vector<std::uint8_t>& data() { return out_; }

private:
    std::vector<std::uint8_t> out_;
};

class BitSink
{
public:
    BitSink(ByteSink& sink, std::size_t& stuffed) : sink_(sink), stuffed_(stuffed) {}

    void put(std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            current_ = static_cast<std::uint8_t>((current_ << 1) | ((value >> i) & 1u));
            if (++filled_ == 8)
                emit();
        }
    }
    // Pads the last byte with one bits.
    void flush()
    {
        while (filled_ != 0)
            put(1, 1);
    }

private:
    void emit()
    {
        sink_.byte(current_);
        if (current_ == 0xFF) {
            sink_.byte(0x00);
            ++stuffed_;
        }
        current_ = 0;
        filled_ = 0;
    }

    ByteSink& sink_;
    std::size_t& stuffed_;
    std::uint8_t current_ = 0;
    int filled_ = 0;
};

std::vector<std::uint8_t> tablePayload(int id, const CodeTable& table)
{
    std::vector<std::uint8_t> payload;
    payload.push_back(static_cast<std::uint8_t>(id));
    payload.insert(payload.end(), table.bits.begin(), table.bits.end());
    payload.insert(payload.end(), table.values.begin(), table.values.end());
    return payload;
}

}  // namespace

std::vector<std::uint8_t> encodeLj92(const std::vector<std::uint16_t>& samples, const Lj92EncodeOptions& o,
                                     Lj92EncodeStats* stats)
{
    if (o.width < 1 || o.width > 65535 || o.height < 1 || o.height > 65535 || o.components < 1 || o.components > 4)
        throw std::invalid_argument("bad frame shape");
    if (o.precision < 2 || o.precision > 16 || o.predictor < 1 || o.predictor > 7 || o.pointTransform < 0
        || o.pointTransform >= o.precision)
        throw std::invalid_argument("bad precision, predictor or point transform");
    if (o.restartInterval < 0 || o.restartInterval > 65535 || o.restartInterval % o.width != 0)
        throw std::invalid_argument("restart interval must be whole lines");
    const std::size_t X = static_cast<std::size_t>(o.width);
    const std::size_t Y = static_cast<std::size_t>(o.height);
    const std::size_t N = static_cast<std::size_t>(o.components);
    if (samples.size() != X * Y * N)
        throw std::invalid_argument("sample count does not match the frame");
    for (const std::uint16_t s : samples) {
        if (o.precision < 16 && s >= (1u << o.precision))
            throw std::invalid_argument("sample does not fit the precision");
    }
    const int usedTables = o.tablePerComponent ? o.components : 1;
    if (o.unusedTables < 0 || usedTables + o.unusedTables > 4)
        throw std::invalid_argument("at most four Huffman tables");

    // Differences, in coding order.
    const auto reduced = [&](std::size_t x, std::size_t y, std::size_t c) {
        return static_cast<std::int32_t>(samples[(y * X + x) * N + c] >> o.pointTransform);
    };
    const std::size_t linesPerInterval = o.restartInterval ? static_cast<std::size_t>(o.restartInterval) / X : Y;
    std::vector<std::int32_t> differences;
    differences.reserve(samples.size());
    std::array<std::size_t, kCategories> frequency[4] = {};
    for (std::size_t y = 0; y < Y; ++y) {
        const bool startsInterval = y % linesPerInterval == 0;
        for (std::size_t x = 0; x < X; ++x) {
            for (std::size_t c = 0; c < N; ++c) {
                std::int32_t prediction;
                if (startsInterval && x == 0) {
                    prediction = 1 << (o.precision - o.pointTransform - 1);
                } else if (startsInterval) {
                    prediction = reduced(x - 1, y, c);
                } else if (x == 0) {
                    prediction = reduced(x, y - 1, c);
                } else {
                    const std::int32_t a = reduced(x - 1, y, c);
                    const std::int32_t b = reduced(x, y - 1, c);
                    const std::int32_t d = reduced(x - 1, y - 1, c);
                    switch (o.predictor) {
                    case 1: prediction = a; break;
                    case 2: prediction = b; break;
                    case 3: prediction = d; break;
                    case 4: prediction = a + b - d; break;
                    case 5: prediction = a + ((b - d) >> 1); break;
                    case 6: prediction = b + ((a - d) >> 1); break;
                    default: prediction = (a + b) >> 1; break;
                    }
                }
                std::int32_t difference = (reduced(x, y, c) - prediction) & 0xFFFF;
                if (difference > 32768)
                    difference -= 65536;
                differences.push_back(difference);
                ++frequency[o.tablePerComponent ? c : 0][static_cast<std::size_t>(categoryOf(difference))];
            }
        }
    }

    std::vector<CodeTable> tables;
    for (int t = 0; t < usedTables; ++t)
        tables.push_back(o.huffman == Lj92HuffmanMode::Flat ? flatTable() : optimalTable(frequency[t]));
    for (int t = 0; t < o.unusedTables; ++t)
        tables.push_back(flatTable());

    ByteSink out;
    out.marker(0xD8);
    for (const JpegSegment& segment : o.extraSegments)
        out.segment(segment.marker, segment.payload);

    std::vector<std::uint8_t> frame{static_cast<std::uint8_t>(o.precision), static_cast<std::uint8_t>(Y >> 8),
                                    static_cast<std::uint8_t>(Y & 0xFF), static_cast<std::uint8_t>(X >> 8),
                                    static_cast<std::uint8_t>(X & 0xFF), static_cast<std::uint8_t>(N)};
    for (std::size_t c = 0; c < N; ++c) {
        frame.push_back(static_cast<std::uint8_t>(c + 1));
        frame.push_back(0x11);
        frame.push_back(0);
    }
    if (o.frameBeforeTables)
        out.segment(0xC3, frame);
    if (o.separateDhtSegments) {
        for (std::size_t t = 0; t < tables.size(); ++t)
            out.segment(0xC4, tablePayload(static_cast<int>(t), tables[t]));
    } else {
        std::vector<std::uint8_t> all;
        for (std::size_t t = 0; t < tables.size(); ++t) {
            const std::vector<std::uint8_t> one = tablePayload(static_cast<int>(t), tables[t]);
            all.insert(all.end(), one.begin(), one.end());
        }
        out.segment(0xC4, all);
    }
    if (!o.frameBeforeTables)
        out.segment(0xC3, frame);
    if (o.restartInterval)
        out.segment(0xDD, {static_cast<std::uint8_t>(o.restartInterval >> 8), static_cast<std::uint8_t>(o.restartInterval & 0xFF)});

    std::vector<std::uint8_t> scan{static_cast<std::uint8_t>(N)};
    for (std::size_t c = 0; c < N; ++c) {
        scan.push_back(static_cast<std::uint8_t>(c + 1));
        scan.push_back(static_cast<std::uint8_t>((o.tablePerComponent ? c : 0) << 4));
    }
    scan.push_back(static_cast<std::uint8_t>(o.predictor));
    scan.push_back(0);
    scan.push_back(static_cast<std::uint8_t>(o.pointTransform));
    out.segment(0xDA, scan);

    Lj92EncodeStats local;
    BitSink bits(out, local.stuffedBytes);
    const std::size_t perInterval = linesPerInterval * X * N;
    for (std::size_t i = 0; i < differences.size(); ++i) {
        if (i > 0 && i % perInterval == 0) {
            bits.flush();
            out.marker(static_cast<std::uint8_t>(0xD0 + (local.restartMarkers & 7)));
            ++local.restartMarkers;
        }
        const std::int32_t difference = differences[i];
        const int category = categoryOf(difference);
        const CodeTable& table = tables[o.tablePerComponent ? i % N : 0];
        if (table.length[static_cast<std::size_t>(category)] == 0)
            throw std::logic_error("category without a code");
        bits.put(table.code[static_cast<std::size_t>(category)], table.length[static_cast<std::size_t>(category)]);
        if (category > 0 && category < 16) {
            const std::int32_t extra = difference < 0 ? difference + (1 << category) - 1 : difference;
            bits.put(static_cast<std::uint32_t>(extra), category);
        }
        ++local.categories[static_cast<std::size_t>(category)];
        local.longestCode = std::max<int>(local.longestCode, table.length[static_cast<std::size_t>(category)]);
    }
    bits.flush();
    out.marker(0xD9);
    out.data().insert(out.data().end(), o.trailingPadding, 0);
    if (stats)
        *stats = local;
    return std::move(out.data());
}

}  // namespace mlv2dng
