#include "output/wavwriter.h"

#include "io/byteorder.h"
#include "output/civiltime.h"

#include <algorithm>
#include <cstring>

namespace mlv2dng {

namespace {

constexpr std::uint64_t kMaxData = 0xffffffffu - WavWriter::kHeaderSize;

class HeaderBuilder
{
public:
    void tag(const char* fourCc) { bytes.insert(bytes.end(), fourCc, fourCc + 4); }
    void u16(std::uint16_t v)
    {
        std::uint8_t b[2];
        ByteOrder::putLe16(b, v);
        bytes.insert(bytes.end(), b, b + 2);
    }
    void u32(std::uint32_t v)
    {
        std::uint8_t b[4];
        ByteOrder::putLe32(b, v);
        bytes.insert(bytes.end(), b, b + 4);
    }
    void u64(std::uint64_t v)
    {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void text(const std::string& s, std::size_t width)
    {
        for (std::size_t i = 0; i < width; ++i)
            bytes.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
    }
    std::vector<std::uint8_t> bytes;
};

}  // namespace

WavWriter::WavWriter(std::string path, const ClipMetadata& metadata)
    : mFile(std::move(path))
    , mFormat(metadata.audio)
    , mReelName(metadata.reelName)
    , mIxml(IxmlChunk::text(metadata.header.fpsNumerator, metadata.header.fpsDenominator, metadata.info))
{
}

bool WavWriter::start(std::string& error)
{
    if (mFormat.channels == 0 || mFormat.sampleRate == 0 || mFormat.bitsPerSample == 0) {
        error = "the audio format block describes no usable sound (" + std::to_string(mFormat.channels) + " channels, "
                + std::to_string(mFormat.sampleRate) + " Hz, " + std::to_string(mFormat.bitsPerSample) + " bits)";
        return false;
    }
    const std::vector<std::uint8_t> placeholder(kHeaderSize, 0);
    if (!mFile.open() || !mFile.write(placeholder.data(), placeholder.size())) {
        error = mFile.error();
        return false;
    }
    return true;
}

bool WavWriter::addFrame(std::uint32_t frameNumber, std::uint64_t timestamp, const std::uint8_t* data, std::size_t size,
                         std::string& error)
{
    if (size == 0)
        return true;
    if (mUnit == 0)
        mUnit = size;
    if (!mHaveTimestamp || timestamp < mFirstTimestamp)
        mFirstTimestamp = timestamp;
    mHaveTimestamp = true;
    const std::uint64_t offset = static_cast<std::uint64_t>(frameNumber) * mUnit;
    if (offset + size > kMaxData) {
        error = "audio frame " + std::to_string(frameNumber) + " lies beyond what a WAV file can hold";
        return false;
    }
    if (!mFile.writeAt(kHeaderSize + offset, data, size)) {
        error = mFile.error();
        return false;
    }
    mDataEnd = std::max(mDataEnd, offset + size);
    return true;
}

std::vector<std::uint8_t> WavWriter::header(const ClockInfo& clock) const
{
    const std::uint16_t blockAlign =
        mFormat.blockAlign ? mFormat.blockAlign
                           : static_cast<std::uint16_t>(mFormat.channels * ((mFormat.bitsPerSample + 7) / 8));
    const std::uint32_t bytesPerSecond =
        mFormat.bytesPerSecond ? mFormat.bytesPerSecond : mFormat.sampleRate * blockAlign;
    const std::uint64_t data = mDataEnd;
    const std::uint32_t padded = static_cast<std::uint32_t>(data + (data & 1));

    std::string date = "0000-00-00";
    std::string time = "00:00:00";
    std::uint64_t timeReference = 0;
    if (const std::optional<CivilTime> start = CivilTime::at(clock, mFirstTimestamp)) {
        date = start->isoDate();
        time = start->isoTime();
        timeReference = static_cast<std::uint64_t>(start->secondsOfDay()) * mFormat.sampleRate;
    }

    HeaderBuilder h;
    h.tag("RIFF");
    h.u32(static_cast<std::uint32_t>(kHeaderSize - 8 + padded));
    h.tag("WAVE");
    h.tag("bext");
    h.u32(602);
    h.text("Recorded as " + mReelName, 256);  // Description
    h.text("Korvalin mlv2dng", 32);           // Originator
    h.text(mReelName, 32);                    // OriginatorReference
    h.text(date, 10);
    h.text(time, 8);
    h.u64(timeReference);
    h.u16(1);                   // version
    h.text("", 64 + 10 + 180);  // UMID, loudness, reserved
    h.tag("iXML");
    h.u32(static_cast<std::uint32_t>(mIxml.size()));
    h.text(mIxml, mIxml.size());
    h.tag("fmt ");
    h.u32(16);
    h.u16(mFormat.format);
    h.u16(mFormat.channels);
    h.u32(mFormat.sampleRate);
    h.u32(bytesPerSecond);
    h.u16(blockAlign);
    h.u16(mFormat.bitsPerSample);
    h.tag("data");
    h.u32(static_cast<std::uint32_t>(data));
    return h.bytes;
}

bool WavWriter::finish(const ClockInfo& clock, std::string& error)
{
    const std::vector<std::uint8_t> bytes = header(clock);
    const std::uint8_t pad = 0;
    const bool ok = mFile.writeAt(0, bytes.data(), bytes.size())
                    && ((mDataEnd & 1) == 0 || mFile.writeAt(kHeaderSize + mDataEnd, &pad, 1)) && mFile.commit();
    if (!ok)
        error = mFile.error();
    return ok;
}

}  // namespace mlv2dng
