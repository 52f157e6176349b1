#include "pipeline/converter.h"

#include "output/bitpacker.h"
#include "pipeline/bufferpool.h"
#include "io/bytecursor.h"
#include "mlv/chunkfinder.h"
#include "output/dngwriter.h"
#include "io/filesource.h"
#include "io/nativefile.h"
#include "mlv/framedecoder.h"
#include "pipeline/framepipeline.h"
#include "mlv/metadataparser.h"
#include "mlv/mlvreader.h"
#include "pipeline/reporter.h"
#include "fixes/streampixelrepairer.h"
#include "output/wavwriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>

namespace mlv2dng {

namespace {

std::string directoryOf(const std::string& prefix)
{
    const std::size_t slash = prefix.find_last_of(NativeFile::kSeparators);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : prefix.substr(0, slash);
}

std::string describeBlock(const MlvBlock& block)
{
    std::ostringstream line;
    line << "Block " << block.type << " in chunk " << block.chunk << " at offset " << block.offset << ", "
         << block.size << " bytes";
    if (block.type != "MLVI")
        line << ", timestamp " << block.timestamp << " us";
    const ByteCursor cursor(block.bytes.data(), block.bytes.size());
    if (block.type == "VIDF" || block.type == "AUDF")
        line << ", frame " << cursor.u32(16);
    if (block.type == "MLVI") {
        const FileHeaderInfo header = MetadataParser::parseFileHeader(block.bytes.data(), block.bytes.size());
        line << std::hex << ", video class 0x" << header.videoClass << ", audio class 0x" << header.audioClass
             << std::dec << ", " << header.videoFrameCount << " frames in this chunk, " << header.fpsNumerator << "/"
             << header.fpsDenominator << " fps";
    }
    return line.str();
}

}  // namespace

Converter::Converter(ConverterOptions options, std::ostream& out, std::ostream& err)
    : mOptions(std::move(options)), mOut(out), mErr(err)
{
}

std::string Converter::framePath(const std::string& prefix, std::uint32_t frameNumber)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06u", frameNumber);
    return prefix + digits + ".dng";
}

std::string Converter::wavPath(const std::string& prefix)
{
    std::string base = prefix;
    if (!base.empty() && base.back() == '_')
        base.pop_back();
    return base + ".wav";
}

std::string Converter::reelName(const std::string& input)
{
    const std::size_t slash = input.find_last_of(NativeFile::kSeparators);
    std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

int Converter::run()
{
    Reporter report(mOut, mErr);
    std::vector<std::unique_ptr<ByteSource>> sources;
    for (const std::string& path : ChunkFinder::chunksOf(mOptions.input)) {
        std::string error;
        std::unique_ptr<FileSource> source = FileSource::open(path, error);
        if (!source) {
            report.error(error);
            return sources.empty() ? CannotOpenInput : Failed;
        }
        sources.push_back(std::move(source));
    }
    return run(std::move(sources));
}

int Converter::run(std::vector<std::unique_ptr<ByteSource>> chunks)
{
    Reporter report(mOut, mErr);
    const auto started = std::chrono::steady_clock::now();
    report.info(std::string("mlv2dng ") + kVersion);
    report.info("Input: " + mOptions.input);
    report.info("Output prefix: " + mOptions.prefix);
    for (std::size_t i = 0; i < chunks.size(); ++i)
        report.info("Chunk " + std::to_string(i + 1) + "/" + std::to_string(chunks.size()) + ": " + chunks[i]->name()
                    + " (" + std::to_string(chunks[i]->size()) + " bytes)");

    const std::string directory = directoryOf(mOptions.prefix);
    if (NativeFile::kindOf(directory) != NativeFile::Kind::Directory) {
        report.error("output directory '" + directory + "' does not exist");
        return Failed;
    }

    MlvReader reader(std::move(chunks));
    auto initial = std::make_shared<ClipMetadata>();
    initial->reelName = reelName(mOptions.input);
    std::shared_ptr<const ClipMetadata> current = initial;

    FrameCorrector corrector(mOptions.corrections);
    const FrameDecoder decoder;
    const DngWriter dngWriter(std::string("Korvalin mlv2dng ") + kVersion);
    const bool relaxed = mOptions.relaxed;

    std::atomic<std::uint64_t> written{0};
    std::atomic<std::uint64_t> skipped{0};
    std::uint32_t firstWritten = 0xffffffffu;
    std::uint32_t lastWritten = 0;

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t inFlight = 2 * static_cast<std::size_t>(cores) + 2;
    // Frame buffers travel reader -> worker -> writer -> reader, so steady state allocates nothing.
    BufferPool buffers(inFlight + 1);
    std::vector<RawFrame> scratch(cores);

    auto process = [&](FrameJob& job, unsigned worker) {
        FrameResult result;
        result.frameNumber = job.frameNumber;
        if (!job.error.empty()) {
            result.error = job.error;
            return result;
        }
        RawFrame& frame = scratch[worker];
        if (job.decoded) {
            frame = std::move(job.frame);
        } else {
            FrameDecoder::Payload payload;
            if (!FrameDecoder::describe(job.block.data(), job.block.size(), *job.metadata, frame, payload, result.error))
                return result;
            const std::vector<std::uint32_t>* repairs = payload.lossless ? nullptr : corrector.onlyRepairs(frame);
            const std::size_t area = static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
            // Pixel by pixel in the stream pays off for a sensor's handful, not for a map of thousands.
            if (repairs && repairs->size() <= area / 1024 + 16
                && BitPacker::stripIsSwappedStream(frame.width, frame.bitsPerPixel)) {
                // At most a few known pixels to change: they are repaired in the recorded stream,
                // which then becomes the strip where it lies.
                StreamPixelRepairer::repair(job.block.data() + payload.offset, payload.size, frame, *repairs);
                result.stripSize = BitPacker::stripBytes(frame.width, frame.height, frame.bitsPerPixel);
                BitPacker::stripFromStream(job.block.data() + payload.offset, result.stripSize, frame.bitsPerPixel);
                result.header = dngWriter.header(frame, job.timestamp, *job.metadata);
                result.data = std::move(job.block);
                result.stripOffset = payload.offset;
                result.ok = true;
                return result;
            }
            if (!decoder.decode(job.block.data(), job.block.size(), *job.metadata, frame, result.error))
                return result;
        }
        corrector.apply(frame);
        result.header = dngWriter.header(frame, job.timestamp, *job.metadata);
        result.stripSize = BitPacker::stripBytes(frame.width, frame.height, frame.bitsPerPixel);
        result.data = std::move(job.block);
        result.data.resize(result.stripSize);
        BitPacker::pack(frame.pixels.data(), frame.width, frame.height, frame.bitsPerPixel, result.data.data());
        result.ok = true;
        return result;
    };
    auto deliver = [&](FrameResult& result) {
        std::string error = result.error;
        const bool ok = result.ok
            && AtomicFile::writeWhole(framePath(mOptions.prefix, result.frameNumber), result.header.data(),
                                      result.header.size(), result.data.data() + result.stripOffset, result.stripSize,
                                      error);
        buffers.give(std::move(result.data));
        if (ok) {
            ++written;
            firstWritten = std::min(firstWritten, result.frameNumber);
            lastWritten = std::max(lastWritten, result.frameNumber);
            return true;
        }
        report.error(error);
        ++skipped;
        return relaxed;
    };

    FramePipeline pipeline(cores, inFlight, process, deliver);

    bool prepared = false;
    bool haveHeader = false;
    bool audioRefused = false;
    bool orphanAudioReported = false;
    std::uint64_t videoBlocks = 0;
    std::uint64_t audioBlocks = 0;
    std::unique_ptr<WavWriter> wav;
    std::string fatal;

    MlvBlock block;
    for (;;) {
        if (block.bytes.capacity() == 0)
            block.bytes = buffers.take();
        const MlvReader::Result step = reader.next(block);
        for (const std::string& warning : reader.takeWarnings())
            report.error(warning);
        if (step == MlvReader::Result::End)
            break;
        if (step == MlvReader::Result::Error) {
            fatal = reader.error();
            break;
        }
        if (mOptions.verbose)
            report.info(describeBlock(block));

        const std::string& type = block.type;
        if (type == "MLVI") {
            if (haveHeader)
                continue;  // the first chunk's header describes the recording
            haveHeader = true;
            auto next = std::make_shared<ClipMetadata>(*current);
            next->header = MetadataParser::parseFileHeader(block.bytes.data(), block.bytes.size());
            current = next;
            const std::string unsupported = FrameDecoder::unsupportedVideo(next->header.videoClass);
            if (!unsupported.empty() && next->header.videoClass != 0) {
                fatal = unsupported;
                break;
            }
        } else if (type == "VIDF") {
            ++videoBlocks;
            FrameJob job;
            const ByteCursor cursor(block.bytes.data(), block.bytes.size());
            job.frameNumber = cursor.u32(16);
            job.timestamp = block.timestamp;
            job.metadata = current;
            job.block = std::move(block.bytes);
            if (!prepared) {
                // The corrector learns from the first frame in file order, before any parallel work.
                if (decoder.decode(job.block.data(), job.block.size(), *current, job.frame, job.error)) {
                    corrector.prepare(job.frame);
                    prepared = true;
                    job.decoded = true;
                }
            }
            if (!pipeline.submit(std::move(job)))
                break;
        } else if (type == "AUDF") {
            ++audioBlocks;
            if (!current->audio.present || audioRefused) {
                if (!orphanAudioReported && !audioRefused)
                    report.error("audio frame before any WAVI audio format block; sound is not written");
                orphanAudioReported = true;
                continue;
            }
            const ByteCursor cursor(block.bytes.data(), block.bytes.size());
            const std::uint32_t frameNumber = cursor.u32(16);
            const std::uint32_t frameSpace = cursor.u32(20);
            if (block.bytes.size() < 24 || frameSpace > block.bytes.size() - 24) {
                const std::string error = "audio frame " + std::to_string(frameNumber) + ": frame space "
                    + std::to_string(frameSpace) + " is larger than the block";
                if (!relaxed) {
                    fatal = error;
                    break;
                }
                report.error(error);
                continue;
            }
            std::string error;
            if (!wav) {
                if (current->header.audioClass & 0x80) {
                    report.error("LZMA-compressed sound is not supported; sound is not written");
                    audioRefused = true;
                    continue;
                }
                wav = std::make_unique<WavWriter>(wavPath(mOptions.prefix), current->audio, current->reelName);
                if (!wav->start(error)) {
                    report.error(error);
                    wav.reset();
                    audioRefused = true;
                    continue;
                }
            }
            if (!wav->addFrame(frameNumber, block.timestamp, block.bytes.data() + 24 + frameSpace,
                               block.bytes.size() - 24 - frameSpace, error)) {
                report.error(error);
                wav.reset();
                audioRefused = true;
            }
        } else if (MetadataParser::handles(type)) {
            // Copy on write: frames already queued keep the metadata they were read with.
            auto next = std::make_shared<ClipMetadata>(*current);
            MetadataParser::apply(type, block.bytes.data(), block.bytes.size(), *next);
            current = next;
        }
    }
    pipeline.finish();

    if (!fatal.empty())
        report.error(fatal);
    bool audioWritten = false;
    if (wav) {
        std::string error;
        if (wav->finish(current->clock, error))
            audioWritten = true;
        else
            report.error(error);
    }
    if (written == 0 && fatal.empty() && skipped == 0)
        report.error("'" + mOptions.input + "' holds no video frame");

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    for (std::size_t i = 0; i < reader.chunkCount(); ++i)
        report.info("Chunk " + std::to_string(i + 1) + ": " + std::to_string(reader.blocksInChunk(i)) + " blocks read");
    std::ostringstream summary;
    summary << "Video blocks: " << videoBlocks << ", audio blocks: " << audioBlocks;
    report.info(summary.str());
    if (written > 0)
        report.info("Wrote " + std::to_string(written) + " DNG frames (" + framePath(mOptions.prefix, firstWritten)
                    + " to " + framePath(mOptions.prefix, lastWritten) + ")");
    else
        report.info("Wrote no DNG frame");
    if (skipped > 0)
        report.info("Skipped " + std::to_string(skipped) + " damaged frames");
    if (audioWritten)
        report.info("Wrote audio: " + wav->path() + " (" + std::to_string(wav->dataBytes()) + " bytes of sound)");
    char rate[96];
    std::snprintf(rate, sizeof rate, "Processed %llu video frames at %.2f frames per second (%.2f s)",
                  static_cast<unsigned long long>(written.load()), seconds > 0 ? written / seconds : 0.0, seconds);
    report.info(rate);
    return report.errorCount() == 0 && written > 0 ? Success : Failed;
}

}  // namespace mlv2dng
