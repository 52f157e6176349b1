#include "ljpeg/lj92encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace mlv2dng {

namespace {

constexpr int kCategories = 17;  // SSSS 0..16
constexpr int kMaxComponents = 4;
constexpr int kMaxCodeLength = 16;

using Histogram = std::array<std::uint64_t, kCategories>;

// Bits needed for a magnitude of at most 32768: the difference category SSSS.
inline unsigned category(unsigned magnitude)
{
#if defined(_MSC_VER)
    unsigned long top = 0;
    _BitScanReverse(&top, (magnitude << 1) | 1u);
    return static_cast<unsigned>(top);
#else
    return 31u - static_cast<unsigned>(__builtin_clz((magnitude << 1) | 1u));
#endif
}

inline unsigned categoryOf(int difference)
{
    const int sign = difference >> 31;
    return category(static_cast<unsigned>((difference ^ sign) - sign));
}

// Differences of one line from its prediction, taken modulo 2^16 as the decoder adds them.
// The first line predicts from the left only, and its first samples from the middle of the range;
// every later line predicts its first samples from above.
template <int Predictor>
void lineDifferences(const std::uint16_t* line, const std::uint16_t* above, int count, int components, int precision,
                     std::int16_t* out)
{
    if (!above) {
        for (int i = 0; i < components; ++i)
            out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(line[i] - (1 << (precision - 1))));
        for (int i = components; i < count; ++i)
            out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(line[i] - line[i - components]));
        return;
    }
    for (int i = 0; i < components; ++i)
        out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(line[i] - above[i]));
    for (int i = components; i < count; ++i) {
        const int ra = line[i - components];
        const int rb = above[i];
        const int rc = above[i - components];
        int prediction;
        switch (Predictor) {
        case 1:
            prediction = ra;
            break;
        case 2:
            prediction = rb;
            break;
        case 3:
            prediction = rc;
            break;
        case 4:
            prediction = ra + rb - rc;
            break;
        case 5:
            prediction = ra + ((rb - rc) >> 1);
            break;
        case 6:
            prediction = rb + ((ra - rc) >> 1);
            break;
        default:
            prediction = (ra + rb) >> 1;
            break;
        }
        out[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(line[i] - prediction));
    }
}

using LineDifferences = void (*)(const std::uint16_t*, const std::uint16_t*, int, int, int, std::int16_t*);

LineDifferences differencesFor(int predictor)
{
    static constexpr LineDifferences kTable[] = {lineDifferences<1>, lineDifferences<2>, lineDifferences<3>,
                                                 lineDifferences<4>, lineDifferences<5>, lineDifferences<6>,
                                                 lineDifferences<7>};
    return kTable[predictor - 1];
}

void countCategories(const std::int16_t* differences, int count, int components, Histogram* histograms)
{
    for (int c = 0; c < components; ++c) {
        Histogram& h = histograms[c];
        for (int i = c; i < count; i += components)
            ++h[categoryOf(differences[i])];
    }
}

// Bits a histogram costs with ideal code lengths: enough to rank predictors.
double estimatedBits(const Histogram& h)
{
    std::uint64_t total = 0;
    for (const std::uint64_t n : h)
        total += n;
    double bits = 0;
    for (int s = 0; s < kCategories; ++s) {
        if (h[s] > 0)
            bits += static_cast<double>(h[s]) * ((s & 15) + std::log2(static_cast<double>(total) / h[s]));
    }
    return bits;
}

// Differences this close to zero are looked up whole: code and extra bits in one entry.
constexpr int kNear = 1024;

struct HuffmanCode
{
    std::array<std::uint32_t, kCategories> code{};
    std::array<std::uint8_t, kCategories> length{};
    // For difference d in [-kNear, kNear): the bits to write, and their count above bit 32.
    std::array<std::uint64_t, 2 * kNear> near{};
    // As a DHT table stores it.
    std::array<std::uint8_t, kMaxCodeLength> counts{};
    std::vector<std::uint8_t> symbols;
};

HuffmanCode canonicalCode(const std::array<std::uint8_t, kCategories>& lengths)
{
    HuffmanCode table;
    table.length = lengths;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        for (int s = 0; s < kCategories; ++s) {
            if (lengths[s] == length) {
                ++table.counts[length - 1];
                table.symbols.push_back(static_cast<std::uint8_t>(s));
            }
        }
    }
    std::uint32_t next = 0;
    std::size_t k = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        for (int i = 0; i < table.counts[length - 1]; ++i)
            table.code[table.symbols[k++]] = next++;
        next <<= 1;
    }
    return table;
}

// Writes entropy-coded bits MSB first, stuffing a zero byte after every 0xFF.
class BitWriter
{
public:
    explicit BitWriter(std::uint8_t* at) : mAt(at) {}

    void put(std::uint32_t bits, unsigned length)
    {
        mBuffer = (mBuffer << length) | bits;
        mCount += length;
        if (mCount >= 32) {
            mCount -= 32;
            putWord(static_cast<std::uint32_t>(mBuffer >> mCount));
        }
    }

    // Pads the last byte with ones, as the standard asks; returns the end of the data.
    std::uint8_t* finish()
    {
        const unsigned pad = (8 - mCount % 8) % 8;
        put((1u << pad) - 1, pad);
        while (mCount >= 8) {
            mCount -= 8;
            putByte(static_cast<std::uint8_t>(mBuffer >> mCount));
        }
        return mAt;
    }

    std::uint8_t* position() const { return mAt; }
    void moveTo(std::uint8_t* at) { mAt = at; }

private:
    void putByte(std::uint8_t byte)
    {
        *mAt++ = byte;
        if (byte == 0xFF)
            *mAt++ = 0;
    }

    void putWord(std::uint32_t word)
    {
        const std::uint32_t inverted = ~word;
        if (((inverted - 0x01010101u) & word & 0x80808080u) == 0) {  // no 0xFF byte in the word
            mAt[0] = static_cast<std::uint8_t>(word >> 24);
            mAt[1] = static_cast<std::uint8_t>(word >> 16);
            mAt[2] = static_cast<std::uint8_t>(word >> 8);
            mAt[3] = static_cast<std::uint8_t>(word);
            mAt += 4;
            return;
        }
        for (int shift = 24; shift >= 0; shift -= 8)
            putByte(static_cast<std::uint8_t>(word >> shift));
    }

    std::uint8_t* mAt;
    std::uint64_t mBuffer = 0;
    unsigned mCount = 0;
};

// The code of a difference's category followed by its extra bits, and how many bits that is.
inline std::pair<std::uint32_t, unsigned> codeOf(int difference, const HuffmanCode& table)
{
    const int sign = difference >> 31;
    const unsigned s = category(static_cast<unsigned>((difference ^ sign) - sign));
    const unsigned extraLength = s & 15;  // category 16 carries no extra bits
    const std::uint32_t extra = static_cast<std::uint32_t>(difference + sign) & ((1u << extraLength) - 1);
    return {(table.code[s] << extraLength) | extra, table.length[s] + extraLength};
}

void fillNear(HuffmanCode& table)
{
    for (int d = -kNear; d < kNear; ++d) {
        const auto [bits, length] = codeOf(d, table);
        table.near[static_cast<std::size_t>(d + kNear)] = std::uint64_t(length) << 32 | bits;
    }
}

inline void encodeSample(int difference, const HuffmanCode& table, BitWriter& writer)
{
    const unsigned index = static_cast<unsigned>(difference + kNear);
    if (index < 2 * kNear) {
        const std::uint64_t entry = table.near[index];
        writer.put(static_cast<std::uint32_t>(entry), static_cast<unsigned>(entry >> 32));
        return;
    }
    const auto [bits, length] = codeOf(difference, table);
    writer.put(bits, length);
}

// Components is a template argument for the usual one and two, so each position's table is fixed.
template <int Components>
void encodeLine(const std::int16_t* differences, int count, int components, const HuffmanCode* tables,
                BitWriter& writer)
{
    if (Components == 0) {
        for (int i = 0; i < count; ++i)
            encodeSample(differences[i], tables[i % components], writer);
        return;
    }
    for (int i = 0; i < count; i += Components) {
        for (int c = 0; c < Components; ++c)
            encodeSample(differences[i + c], tables[c], writer);
    }
}

void putMarker(std::vector<std::uint8_t>& out, std::uint8_t marker)
{
    out.push_back(0xFF);
    out.push_back(marker);
}

void put16(std::vector<std::uint8_t>& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void putHeaders(std::vector<std::uint8_t>& out, const Lj92Encoder::Shape& shape, int predictor,
                const HuffmanCode* tables)
{
    const int nf = shape.components;
    putMarker(out, 0xD8);  // SOI
    putMarker(out, 0xC3);  // SOF3: lossless, Huffman
    put16(out, 8 + 3 * nf);
    out.push_back(static_cast<std::uint8_t>(shape.precision));
    put16(out, static_cast<unsigned>(shape.height));
    put16(out, static_cast<unsigned>(shape.width));
    out.push_back(static_cast<std::uint8_t>(nf));
    for (int c = 0; c < nf; ++c) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0x11);
        out.push_back(0);
    }
    // One table per component, numbered like the components: some readers take table c for
    // component c whatever the scan header says.
    std::size_t tableBytes = 0;
    for (int c = 0; c < nf; ++c)
        tableBytes += 1 + kMaxCodeLength + tables[c].symbols.size();
    putMarker(out, 0xC4);  // DHT
    put16(out, static_cast<unsigned>(2 + tableBytes));
    for (int c = 0; c < nf; ++c) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.insert(out.end(), tables[c].counts.begin(), tables[c].counts.end());
        out.insert(out.end(), tables[c].symbols.begin(), tables[c].symbols.end());
    }
    putMarker(out, 0xDA);  // SOS
    put16(out, static_cast<unsigned>(6 + 2 * nf));
    out.push_back(static_cast<std::uint8_t>(nf));
    for (int c = 0; c < nf; ++c) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<std::uint8_t>(c << 4));
    }
    out.push_back(static_cast<std::uint8_t>(predictor));
    out.push_back(0);  // Se
    out.push_back(0);  // Ah, Al: no point transform
}

}  // namespace

std::array<std::uint8_t, 17> Lj92Encoder::codeLengths(const std::array<std::uint64_t, 17>& counts)
{
    // Huffman's merging over the used categories plus one reserved leaf of the smallest weight,
    // whose code is then dropped: so no real code is all ones.
    constexpr int kReserved = kCategories;
    std::array<int, kCategories + 1> size{};
    std::array<std::uint64_t, kCategories + 1> weight{};
    std::array<int, kCategories + 1> next{};  // chains of leaves under one node
    std::array<bool, kCategories + 1> alive{};
    for (int s = 0; s <= kReserved; ++s) {
        weight[s] = s == kReserved ? 1 : counts[static_cast<std::size_t>(s)];
        alive[s] = weight[s] > 0;
        next[s] = -1;
    }
    for (;;) {
        int first = -1;
        int second = -1;
        // The reserved leaf loses ties, so it ends up deepest.
        for (int s = kReserved; s >= 0; --s) {
            if (!alive[s])
                continue;
            if (first < 0 || weight[s] < weight[first]) {
                second = first;
                first = s;
            } else if (second < 0 || weight[s] < weight[second]) {
                second = s;
            }
        }
        if (second < 0)
            break;
        weight[second] += weight[first];
        alive[first] = false;
        int s = second;
        for (;;) {
            ++size[s];
            if (next[s] < 0)
                break;
            s = next[s];
        }
        next[s] = first;
        for (s = first; s >= 0; s = next[s])
            ++size[s];
    }

    // Code lengths per length, then folded into 16 bits the way the JPEG standard's annex does.
    std::array<int, 33> bits{};
    for (int s = 0; s <= kReserved; ++s) {
        if (size[s] > 0)
            ++bits[static_cast<std::size_t>(size[s])];
    }
    for (int i = 32; i > kMaxCodeLength; --i) {
        while (bits[i] > 0) {
            int j = i - 2;
            while (bits[j] == 0)
                --j;
            bits[i] -= 2;
            bits[i - 1] += 1;
            bits[j + 1] += 2;
            bits[j] -= 1;
        }
    }
    int longest = kMaxCodeLength;
    while (bits[longest] == 0)
        --longest;
    bits[longest] -= 1;  // the reserved leaf's code

    // Hand the lengths out again, shortest to the most frequent.
    std::array<int, kCategories> order{};
    int used = 0;
    for (int s = 0; s < kCategories; ++s) {
        if (counts[static_cast<std::size_t>(s)] > 0)
            order[used++] = s;
    }
    std::stable_sort(order.begin(), order.begin() + used, [&](int a, int b) {
        return counts[static_cast<std::size_t>(a)] > counts[static_cast<std::size_t>(b)];
    });
    std::array<std::uint8_t, kCategories> lengths{};
    int k = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        for (int i = 0; i < bits[length]; ++i)
            lengths[static_cast<std::size_t>(order[k++])] = static_cast<std::uint8_t>(length);
    }
    return lengths;
}

std::size_t Lj92Encoder::encode(const std::uint16_t* samples, const Shape& shape, std::vector<std::uint8_t>& out,
                                std::size_t start)
{
    const int nf = shape.components;
    if (shape.width < 1 || shape.width > 65535 || shape.height < 1 || shape.height > 65535 || nf < 1
        || nf > kMaxComponents || shape.precision < 2 || shape.precision > 16)
        return 0;
    const int count = shape.width * nf;
    const std::size_t total = static_cast<std::size_t>(count) * static_cast<std::size_t>(shape.height);

    const std::uint16_t maximum = static_cast<std::uint16_t>((1u << shape.precision) - 1);
    if (*std::max_element(samples, samples + total) > maximum) {
        mClamped.assign(samples, samples + total);
        for (std::uint16_t& v : mClamped)
            v = std::min(v, maximum);
        samples = mClamped.data();
    }
    const auto lineAt = [&](int y) { return samples + static_cast<std::size_t>(y) * static_cast<std::size_t>(count); };
    std::vector<std::int16_t> differences(static_cast<std::size_t>(count));

    // Rank the predictors on a sample of lines. Above 14 bits the gradient predictors could step
    // outside the sample range, which some readers take for damage, so the left neighbour it is.
    mPredictor = 1;
    if (shape.choosePredictor && shape.precision <= 14 && shape.height > 1) {
        const int step = std::max(1, (shape.height - 1) / 64);
        double best = 0;
        for (int predictor = 1; predictor <= 7; ++predictor) {
            Histogram h{};
            for (int y = 1; y < shape.height; y += step) {
                differencesFor(predictor)(lineAt(y), lineAt(y - 1), count, nf, shape.precision, differences.data());
                countCategories(differences.data(), count, 1, &h);
            }
            const double bits = estimatedBits(h);
            if (predictor == 1 || bits < best) {
                best = bits;
                mPredictor = predictor;
            }
        }
    }
    const LineDifferences lineDifferences = differencesFor(mPredictor);

    std::array<Histogram, kMaxComponents> histograms{};
    for (int y = 0; y < shape.height; ++y) {
        lineDifferences(lineAt(y), y ? lineAt(y - 1) : nullptr, count, nf, shape.precision, differences.data());
        countCategories(differences.data(), count, nf, histograms.data());
    }
    std::array<HuffmanCode, kMaxComponents> tables;
    std::uint64_t dataBits = 0;
    for (int c = 0; c < nf; ++c) {
        tables[c] = canonicalCode(codeLengths(histograms[c]));
        fillNear(tables[c]);
        for (int s = 0; s < kCategories; ++s)
            dataBits += histograms[c][s] * (tables[c].length[s] + (s & 15));
    }

    std::vector<std::uint8_t> headers;
    putHeaders(headers, shape, mPredictor, tables.data());
    // Room for the data as counted, a little stuffing, and one worst-case line (32 bits a sample,
    // every byte stuffed); a line only starts when that much is free. Bytes already in out serve
    // as room as they are: clearing megabytes a frame would cost more than a tenth of the encoding.
    const std::size_t lineWorst = static_cast<std::size_t>(count) * 8 + 16;
    const std::size_t dataStart = start + headers.size();
    const std::size_t room = dataStart + dataBits / 8 + dataBits / 512 + lineWorst + 2;
    if (out.size() < room)
        out.resize(room);
    std::copy(headers.begin(), headers.end(), out.begin() + static_cast<std::ptrdiff_t>(start));
    BitWriter writer(out.data() + dataStart);
    for (int y = 0; y < shape.height; ++y) {
        const std::size_t used = static_cast<std::size_t>(writer.position() - out.data());
        if (out.size() - used < lineWorst) {
            out.resize(out.size() + out.size() / 4 + lineWorst);
            writer.moveTo(out.data() + used);
        }
        lineDifferences(lineAt(y), y ? lineAt(y - 1) : nullptr, count, nf, shape.precision, differences.data());
        if (nf == 2)
            encodeLine<2>(differences.data(), count, nf, tables.data(), writer);
        else if (nf == 1)
            encodeLine<1>(differences.data(), count, nf, tables.data(), writer);
        else
            encodeLine<0>(differences.data(), count, nf, tables.data(), writer);
    }
    std::uint8_t* end = writer.finish();
    *end++ = 0xFF;  // EOI; the worst-case line left room for it
    *end++ = 0xD9;
    return static_cast<std::size_t>(end - out.data()) - start;
}

}  // namespace mlv2dng
