#include "ljpeg/lj92scandecoder.h"

#include "ljpeg/jpegmarkers.h"

namespace mlv2dng {

namespace {

template <int Predictor>
inline int predict(int ra, int rb, int rc)
{
    // Plain ints: the sum may leave 0..65535, and only its value modulo 2^16 matters.
    switch (Predictor) {
    case 1:
        return ra;
    case 2:
        return rb;
    case 3:
        return rc;
    case 4:
        return ra + rb - rc;
    case 5:
        return ra + ((rb - rc) >> 1);
    case 6:
        return rb + ((ra - rc) >> 1);
    default:
        return (ra + rb) >> 1;
    }
}

template <int Components>
struct LineContext
{
    JpegBitReader& reader;
    const std::array<const HuffmanTable*, 4>& tables;
    int width;
    bool& failed;
};

// The first line of the scan and of each restart interval: left neighbours only, and a fixed
// starting value.
template <int Components>
void decodeFirstLine(LineContext<Components>& context, std::uint16_t* line, int initial)
{
    int left[Components];
    for (int c = 0; c < Components; ++c) {
        context.reader.fill();
        const int value = static_cast<std::uint16_t>(
            initial + context.tables[static_cast<std::size_t>(c)]->decodeDifference(context.reader, context.failed));
        line[c] = static_cast<std::uint16_t>(value);
        left[c] = value;
    }
    const std::size_t count = static_cast<std::size_t>(context.width) * Components;
    for (std::size_t i = Components; i < count; i += Components) {
        for (int c = 0; c < Components; ++c) {
            context.reader.fill();
            const int value = static_cast<std::uint16_t>(
                left[c]
                + context.tables[static_cast<std::size_t>(c)]->decodeDifference(context.reader, context.failed));
            line[i + static_cast<std::size_t>(c)] = static_cast<std::uint16_t>(value);
            left[c] = value;
        }
    }
}

// Any later line: the first sample comes from above, the rest from the chosen predictor.
template <int Predictor, int Components>
void decodeLine(LineContext<Components>& context, std::uint16_t* line, const std::uint16_t* above)
{
    const HuffmanTable* tables[Components];
    int left[Components];
    for (int c = 0; c < Components; ++c) {
        tables[c] = context.tables[static_cast<std::size_t>(c)];
        context.reader.fill();
        const int value =
            static_cast<std::uint16_t>(above[c] + tables[c]->decodeDifference(context.reader, context.failed));
        line[c] = static_cast<std::uint16_t>(value);
        left[c] = value;
    }
    const std::size_t count = static_cast<std::size_t>(context.width) * Components;
    for (std::size_t i = Components; i < count; i += Components) {
        for (int c = 0; c < Components; ++c) {
            const std::size_t at = i + static_cast<std::size_t>(c);
            const int prediction = predict<Predictor>(left[c], above[at], above[at - Components]);
            context.reader.fill();
            const int value =
                static_cast<std::uint16_t>(prediction + tables[c]->decodeDifference(context.reader, context.failed));
            line[at] = static_cast<std::uint16_t>(value);
            left[c] = value;
        }
    }
}

template <int Components>
void decodeLineWith(int predictor, LineContext<Components>& context, std::uint16_t* line, const std::uint16_t* above)
{
    switch (predictor) {
    case 1:
        decodeLine<1>(context, line, above);
        break;
    case 2:
        decodeLine<2>(context, line, above);
        break;
    case 3:
        decodeLine<3>(context, line, above);
        break;
    case 4:
        decodeLine<4>(context, line, above);
        break;
    case 5:
        decodeLine<5>(context, line, above);
        break;
    case 6:
        decodeLine<6>(context, line, above);
        break;
    default:
        decodeLine<7>(context, line, above);
        break;
    }
}

}  // namespace

Lj92ScanDecoder::Lj92ScanDecoder(const Layout& layout) : layout_(layout)
{
}

bool Lj92ScanDecoder::decode(const std::uint8_t* begin, const std::uint8_t* end, std::uint16_t* out,
                             std::uint8_t& marker, const std::uint8_t*& next, std::string& error) const
{
    const Layout& l = layout_;
    if (l.width <= 0 || l.height <= 0 || l.components < 1 || l.components > 4 || l.predictor < 1 || l.predictor > 7
        || l.precision < 2 || l.precision > 16 || l.pointTransform < 0 || l.pointTransform >= l.precision
        || l.restartInterval < 0) {
        error = "invalid scan layout";
        return false;
    }
    for (int c = 0; c < l.components; ++c) {
        if (!l.tables[static_cast<std::size_t>(c)]) {
            error = "scan component " + std::to_string(c) + " has no Huffman table";
            return false;
        }
    }
    if (l.restartInterval % l.width != 0) {
        error = "restart interval of " + std::to_string(l.restartInterval)
                + " samples is not a whole number of lines of " + std::to_string(l.width);
        return false;
    }

    JpegBitReader reader(begin, end);
    bool ok = false;
    switch (l.components) {
    case 1:
        ok = decodeLines<1>(reader, out, error);
        break;
    case 2:
        ok = decodeLines<2>(reader, out, error);
        break;
    case 3:
        ok = decodeLines<3>(reader, out, error);
        break;
    default:
        ok = decodeLines<4>(reader, out, error);
        break;
    }
    if (!ok)
        return false;
    if (!reader.nextMarker(marker)) {
        error = "stream ends without a marker after the scan";
        return false;
    }
    next = reader.position();

    if (l.pointTransform > 0) {
        const std::size_t count = static_cast<std::size_t>(l.width) * static_cast<std::size_t>(l.height)
                                  * static_cast<std::size_t>(l.components);
        for (std::size_t i = 0; i < count; ++i)
            out[i] = static_cast<std::uint16_t>(out[i] << l.pointTransform);
    }
    return true;
}

template <int Components>
bool Lj92ScanDecoder::decodeLines(JpegBitReader& reader, std::uint16_t* out, std::string& error) const
{
    const Layout& l = layout_;
    const std::size_t stride = static_cast<std::size_t>(l.width) * Components;
    const int linesPerInterval = l.restartInterval > 0 ? l.restartInterval / l.width : l.height;
    const int initial = 1 << (l.precision - l.pointTransform - 1);
    bool failed = false;
    LineContext<Components> context{reader, l.tables, l.width, failed};

    for (int y = 0; y < l.height; ++y) {
        std::uint16_t* line = out + static_cast<std::size_t>(y) * stride;
        if (y % linesPerInterval == 0) {
            if (y > 0) {
                const int expected = (y / linesPerInterval - 1) & 7;
                std::uint8_t code = 0;
                if (!reader.nextMarker(code)) {
                    error = "stream ends before restart marker RST" + std::to_string(expected);
                    return false;
                }
                if (code != JpegMarkers::kRst0 + expected) {
                    error = "expected restart marker RST" + std::to_string(expected) + " before line "
                            + std::to_string(y) + ", found marker " + JpegMarkers::name(code);
                    return false;
                }
            }
            decodeFirstLine<Components>(context, line, initial);
        } else {
            decodeLineWith<Components>(l.predictor, context, line, line - stride);
        }
        if (failed) {
            error = "invalid Huffman code in line " + std::to_string(y);
            return false;
        }
        if (reader.overrun()) {
            error = "entropy-coded data ends early, in line " + std::to_string(y);
            return false;
        }
    }
    return true;
}

}  // namespace mlv2dng
