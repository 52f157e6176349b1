#include "ljpeg/lj92decoder.h"

#include "ljpeg/huffmantable.h"
#include "ljpeg/jpegbytecursor.h"
#include "ljpeg/jpegmarkers.h"
#include "ljpeg/lj92scandecoder.h"

#include <array>
#include <memory>

namespace mlv2dng {

namespace {

// Far beyond any sensor, small enough that a damaged header cannot ask for gigabytes.
constexpr std::uint64_t kMaxSamples = std::uint64_t(1) << 28;

using namespace JpegMarkers;

bool isOtherFrameMarker(std::uint8_t code)
{
    return code >= 0xC0 && code <= 0xCF && code != kSof3 && code != kDht && code != 0xC8 && code != 0xCC;
}

// What the stream's headers have said so far.
class StreamState
{
public:
    StreamState(const std::uint8_t* data, std::size_t expectedSamples) : data_(data), expectedSamples_(expectedSamples)
    {
    }

    bool parseHuffmanTables(JpegByteCursor segment, std::string& error);
    bool parseFrame(JpegByteCursor segment, std::string& error);
    bool parseRestartInterval(JpegByteCursor segment, std::string& error);
    // Reads the scan header and decodes the scan whose data starts at the cursor.
    bool decodeScan(JpegByteCursor segment, const JpegByteCursor& cursor, Lj92Image& image, std::string& error) const;

private:
    // Checks the scan header against the frame and fills in the layout the scan decoder needs.
    bool parseScanHeader(JpegByteCursor segment, Lj92ScanDecoder::Layout& layout, std::string& error) const;
    std::size_t offsetOf(const std::uint8_t* p) const { return static_cast<std::size_t>(p - data_); }

    const std::uint8_t* data_;
    std::size_t expectedSamples_;
    std::array<std::unique_ptr<HuffmanTable>, 4> tables_;
    bool haveFrame_ = false;
    int precision_ = 0;
    int height_ = 0;
    int width_ = 0;
    int componentCount_ = 0;
    std::array<std::uint8_t, 4> componentIds_{};
    int restartInterval_ = 0;
};

bool StreamState::parseHuffmanTables(JpegByteCursor segment, std::string& error)
{
    while (segment.remaining() > 0) {
        std::uint8_t classAndId = 0;
        segment.readU8(classAndId);
        const int tableClass = classAndId >> 4;
        const int id = classAndId & 15;
        if (tableClass > 1 || id > 3) {
            error = "DHT names table class " + std::to_string(tableClass) + " id " + std::to_string(id);
            return false;
        }
        std::uint8_t counts[16];
        std::size_t total = 0;
        for (std::uint8_t& count : counts) {
            if (!segment.readU8(count)) {
                error = "DHT segment ends inside a table";
                return false;
            }
            total += count;
        }
        const std::uint8_t* values = segment.position();
        if (!segment.skip(total)) {
            error = "DHT segment ends inside a table";
            return false;
        }
        // Class 1 (AC) tables have no use in a lossless scan.
        if (tableClass == 1)
            continue;
        auto table = std::make_unique<HuffmanTable>();
        std::string reason;
        if (!table->build(counts, values, total, reason)) {
            error = "DHT table " + std::to_string(id) + ": " + reason;
            return false;
        }
        tables_[static_cast<std::size_t>(id)] = std::move(table);
    }
    return true;
}

bool StreamState::parseFrame(JpegByteCursor segment, std::string& error)
{
    if (haveFrame_) {
        error = "second SOF3 frame header";
        return false;
    }
    std::uint8_t precision = 0;
    std::uint16_t height = 0;
    std::uint16_t width = 0;
    std::uint8_t count = 0;
    if (!segment.readU8(precision) || !segment.readU16(height) || !segment.readU16(width) || !segment.readU8(count)) {
        error = "SOF3 segment too short";
        return false;
    }
    if (precision < 2 || precision > 16) {
        error = "SOF3 precision " + std::to_string(precision) + " (lossless allows 2 to 16)";
        return false;
    }
    if (width == 0 || height == 0) {
        error = "SOF3 frame of " + std::to_string(width) + "x" + std::to_string(height) + " samples";
        return false;
    }
    if (count < 1 || count > 4) {
        error = "SOF3 frame with " + std::to_string(count) + " components (1 to 4 supported)";
        return false;
    }
    if (segment.remaining() != 3u * count) {
        error = "SOF3 segment length does not fit its " + std::to_string(count) + " components";
        return false;
    }
    for (int c = 0; c < count; ++c) {
        std::uint8_t id = 0;
        std::uint8_t sampling = 0;
        std::uint8_t quantTable = 0;
        segment.readU8(id);
        segment.readU8(sampling);
        segment.readU8(quantTable);
        if (sampling != 0x11) {
            error = "SOF3 component " + std::to_string(id) + " has sampling factors " + std::to_string(sampling >> 4)
                    + "x" + std::to_string(sampling & 15) + " (only 1x1 supported)";
            return false;
        }
        for (int other = 0; other < c; ++other) {
            if (componentIds_[static_cast<std::size_t>(other)] == id) {
                error = "SOF3 lists component " + std::to_string(id) + " twice";
                return false;
            }
        }
        componentIds_[static_cast<std::size_t>(c)] = id;
    }

    const std::uint64_t samples = std::uint64_t(width) * height * count;
    if (samples != expectedSamples_) {
        error = "frame holds " + std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(count)
                + " = " + std::to_string(samples) + " samples, expected " + std::to_string(expectedSamples_);
        return false;
    }
    if (samples > kMaxSamples) {
        error = "frame of " + std::to_string(samples) + " samples is too large";
        return false;
    }
    haveFrame_ = true;
    precision_ = precision;
    height_ = height;
    width_ = width;
    componentCount_ = count;
    return true;
}

bool StreamState::parseRestartInterval(JpegByteCursor segment, std::string& error)
{
    std::uint16_t interval = 0;
    if (segment.remaining() != 2 || !segment.readU16(interval)) {
        error = "DRI segment has the wrong length";
        return false;
    }
    restartInterval_ = interval;
    return true;
}

bool StreamState::parseScanHeader(JpegByteCursor segment, Lj92ScanDecoder::Layout& layout, std::string& error) const
{
    if (!haveFrame_) {
        error = "SOS before any SOF3 frame header";
        return false;
    }
    std::uint8_t count = 0;
    if (!segment.readU8(count) || segment.remaining() != 2u * count + 3) {
        error = "SOS segment length does not fit its component count";
        return false;
    }
    if (count != componentCount_) {
        error = "scan covers " + std::to_string(count) + " of the frame's " + std::to_string(componentCount_)
                + " components (only single-scan streams are supported)";
        return false;
    }
    for (int c = 0; c < count; ++c) {
        std::uint8_t id = 0;
        std::uint8_t tableIds = 0;
        segment.readU8(id);
        segment.readU8(tableIds);
        if (id != componentIds_[static_cast<std::size_t>(c)]) {
            error = "scan component " + std::to_string(id) + " is not frame component "
                    + std::to_string(componentIds_[static_cast<std::size_t>(c)]);
            return false;
        }
        const int tableId = tableIds >> 4;
        if (tableId > 3 || !tables_[static_cast<std::size_t>(tableId)]) {
            error = "scan uses Huffman table " + std::to_string(tableId) + ", which no DHT defined";
            return false;
        }
        layout.tables[static_cast<std::size_t>(c)] = tables_[static_cast<std::size_t>(tableId)].get();
    }
    std::uint8_t predictor = 0;
    std::uint8_t spectralEnd = 0;
    std::uint8_t approximation = 0;
    segment.readU8(predictor);
    segment.readU8(spectralEnd);
    segment.readU8(approximation);
    if (predictor < 1 || predictor > 7) {
        error = "scan predictor " + std::to_string(predictor) + " (lossless allows 1 to 7)";
        return false;
    }
    const int pointTransform = approximation & 15;
    if (pointTransform >= precision_) {
        error = "point transform " + std::to_string(pointTransform) + " is not below the precision "
                + std::to_string(precision_);
        return false;
    }
    layout.width = width_;
    layout.height = height_;
    layout.components = componentCount_;
    layout.precision = precision_;
    layout.pointTransform = pointTransform;
    layout.predictor = predictor;
    layout.restartInterval = restartInterval_;
    return true;
}

bool StreamState::decodeScan(JpegByteCursor segment, const JpegByteCursor& cursor, Lj92Image& image,
                             std::string& error) const
{
    Lj92ScanDecoder::Layout layout;
    if (!parseScanHeader(segment, layout, error))
        return false;
    const std::size_t samples = expectedSamples_;
    // Every sample takes at least one bit, so a short stream is refused before allocating.
    if (samples > cursor.remaining() * 8) {
        error = "stream of " + std::to_string(offsetOf(cursor.end())) + " bytes is too short for "
                + std::to_string(samples) + " samples";
        return false;
    }

    image.samples.resize(samples);
    std::uint8_t marker = 0;
    const std::uint8_t* next = nullptr;
    if (!Lj92ScanDecoder(layout).decode(cursor.position(), cursor.end(), image.samples.data(), marker, next, error))
        return false;
    if (marker != kEoi) {
        error = "expected EOI after the scan, found marker " + JpegMarkers::name(marker);
        return false;
    }
    image.width = width_;
    image.height = height_;
    image.components = componentCount_;
    image.precision = precision_;
    return true;
}

// Reads the next marker code, passing over FF fill bytes.
bool readMarker(JpegByteCursor& cursor, const std::uint8_t* data, std::uint8_t& code, std::string& error)
{
    const std::size_t offset = static_cast<std::size_t>(cursor.position() - data);
    std::uint8_t byte = 0;
    if (!cursor.readU8(byte)) {
        error = "stream ends at byte " + std::to_string(offset) + " without EOI";
        return false;
    }
    if (byte != 0xFF) {
        error = "expected a marker at byte " + std::to_string(offset);
        return false;
    }
    do {
        if (!cursor.readU8(byte)) {
            error = "stream ends inside a marker at byte " + std::to_string(offset);
            return false;
        }
    } while (byte == 0xFF);
    code = byte;
    return true;
}

bool decodeStream(const std::uint8_t* data, std::size_t size, std::size_t expectedSamples, Lj92Image& image,
                  std::string& error)
{
    if (!data || size < 2 || data[0] != 0xFF || data[1] != kSoi) {
        error = "not a JPEG stream (no SOI marker)";
        return false;
    }
    JpegByteCursor cursor(data + 2, data + size);
    StreamState state(data, expectedSamples);
    for (;;) {
        const std::size_t offset = static_cast<std::size_t>(cursor.position() - data);
        std::uint8_t code = 0;
        if (!readMarker(cursor, data, code, error))
            return false;
        if (code == kTem)
            continue;
        if (code == kSoi || code == kEoi || (code >= kRst0 && code <= kRst7)) {
            error = "unexpected marker " + JpegMarkers::name(code) + " before the scan";
            return false;
        }
        std::uint16_t length = 0;
        JpegByteCursor segment(nullptr, nullptr);
        if (!cursor.readU16(length) || length < 2 || !cursor.split(length - 2u, segment)) {
            error = "segment " + JpegMarkers::name(code) + " at byte " + std::to_string(offset)
                    + " has a length that does not fit the stream";
            return false;
        }
        bool ok = true;
        switch (code) {
        case kDht:
            ok = state.parseHuffmanTables(segment, error);
            break;
        case kSof3:
            ok = state.parseFrame(segment, error);
            break;
        case kDri:
            ok = state.parseRestartInterval(segment, error);
            break;
        case kSos:
            return state.decodeScan(segment, cursor, image, error);
        default:
            if (isOtherFrameMarker(code)) {
                error = "unsupported JPEG process " + JpegMarkers::name(code) + " (only lossless SOF3 is decoded)";
                return false;
            }
            break;  // APPn, COM and the like carry nothing a lossless decoder needs
        }
        if (!ok)
            return false;
    }
}

}  // namespace

bool Lj92Decoder::decode(const std::uint8_t* data, std::size_t size, std::size_t expectedSamples, Lj92Image& image,
                         std::string& error) const
{
    if (decodeStream(data, size, expectedSamples, image, error))
        return true;
    // Nothing half-decoded or left from an earlier frame may pass for a result; the storage stays.
    image.samples.clear();
    image.width = image.height = image.components = image.precision = 0;
    return false;
}

}  // namespace mlv2dng
