#include "pipeline/converter.h"

#include "io/bytecursor.h"
#include "io/filesource.h"
#include "io/nativefile.h"
#include "mlv/blocktypes.h"
#include "mlv/chunkfinder.h"
#include "mlv/framedecoder.h"
#include "mlv/metadataparser.h"
#include "mlv/mlvreader.h"
#include "output/dngwriter.h"
#include "pipeline/bufferpool.h"
#include "pipeline/fileordersteps.h"
#include "pipeline/focuspixelsetup.h"
#include "pipeline/framepipeline.h"
#include "pipeline/frameprocessor.h"
#include "pipeline/progressline.h"
#include "pipeline/reporter.h"
#include "pipeline/soundtrack.h"

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
    line << "Block " << block.type << " in chunk " << block.chunk << " at offset " << block.offset << ", " << block.size
         << " bytes";
    if (block.type != BlockTypes::kFileHeader)
        line << ", timestamp " << block.timestamp << " us";
    const ByteCursor cursor(block.bytes.data(), block.bytes.size());
    if (block.type == BlockTypes::kVideoFrame || block.type == BlockTypes::kAudioFrame)
        line << ", frame " << cursor.u32(16);
    if (block.type == BlockTypes::kFileHeader) {
        const FileHeaderInfo header = MetadataParser::parseFileHeader(block.bytes.data(), block.bytes.size());
        line << std::hex << ", video class 0x" << header.videoClass << ", audio class 0x" << header.audioClass
             << std::dec << ", " << header.videoFrameCount << " frames in this chunk, " << header.fpsNumerator << "/"
             << header.fpsDenominator << " fps";
    }
    return line.str();
}

// The frames the chunks' file headers announce, or 0 when that is unknown: a header that was never
// patched (the recording was interrupted) counts 0 frames.
std::uint64_t announcedFrames(const std::vector<std::string>& chunks)
{
    constexpr std::size_t kHeaderBytes = 52;
    std::uint64_t frames = 0;
    for (const std::string& path : chunks) {
        std::string error;
        const std::unique_ptr<FileSource> source = FileSource::open(path, error);
        std::uint8_t header[kHeaderBytes] = {};
        std::size_t got = 0;
        while (source && got < kHeaderBytes) {
            const std::ptrdiff_t n = source->read(header + got, kHeaderBytes - got);
            if (n <= 0)
                break;
            got += std::size_t(n);
        }
        const std::uint32_t count = MetadataParser::parseFileHeader(header, kHeaderBytes).videoFrameCount;
        if (got < kHeaderBytes || std::string(reinterpret_cast<const char*>(header), 4) != BlockTypes::kFileHeader
            || count == 0)
            return 0;
        frames += count;
    }
    return frames;
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
    const std::vector<std::string> chunks = ChunkFinder::chunksOf(mOptions.input);
    // Read apart from the conversion, which sees every chunk once, front to back.
    if (mOptions.showProgress && ProgressLine::standardErrorIsTerminal())
        mAnnouncedFrames = announcedFrames(chunks);
    for (const std::string& path : chunks) {
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

namespace {

// The state of one conversion while its blocks are read, and the steps each kind of block takes.
class Conversion
{
public:
    // Progress, if asked for, goes to err, which is standard error.
    // announcedFrames: the recording's frames as its headers give them, 0 if unknown.
    Conversion(const ConverterOptions& options, Reporter& report, std::ostream& err,
               std::vector<std::unique_ptr<ByteSource>> chunks, std::uint64_t announcedFrames);

    // Reads every block, converts the wanted frames and completes the sound; returns Converter's exit code.
    int run();
    // The closing report lines; a run stopped by an error gets no statistics, which would read like a normal run's.
    void summarise(double seconds);

private:
    static constexpr std::size_t kInFlightPerCore = 2;

    // False stops reading.
    bool onBlock(MlvBlock& block);
    // Counts the block, and describes it when verbose, once the frames before it are written.
    void holdBlock(const MlvBlock& block);
    // A failure found while reading, which counts only if no frame before it stops the run.
    void holdFatal(const std::string& error);
    bool onFileHeader(const MlvBlock& block);
    bool onVideoFrame(MlvBlock& block);
    void onMetadata(const MlvBlock& block);
    // On the writer thread: stores a finished DNG; false stops the pipeline.
    bool deliver(FrameResult& result);
    // The options that replace what the recording says.
    void applyOverrides(ClipMetadata& metadata) const;
    bool wanted(std::uint32_t frameNumber) const
    {
        return frameNumber >= mOptions.firstFrame && frameNumber <= mOptions.lastFrame;
    }
    // How many of the announced frames are wanted; 0 if unknown.
    std::uint64_t wantedOf(std::uint64_t announced) const;

    const ConverterOptions& mOptions;
    Reporter& mReport;
    MlvReader mReader;
    std::shared_ptr<const ClipMetadata> mCurrent;
    FrameCorrector mCorrector;
    const FrameDecoder mDecoder;
    const DngWriter mDngWriter;
    const unsigned mCores;
    // Frame buffers travel reader -> worker -> writer -> reader, so steady state allocates nothing.
    BufferPool mBuffers;
    FrameProcessor mProcessor;
    SoundTrack mSound;
    ProgressLine mProgress;

    std::atomic<std::uint64_t> mWritten{0};
    std::atomic<std::uint64_t> mSkipped{0};    // damaged frames left out
    std::atomic<std::uint64_t> mUnwritten{0};  // good frames that could not be stored
    std::uint32_t mFirstWritten = 0xffffffffu;
    std::uint32_t mLastWritten = 0;
    // Frames handed to the pipeline (reader thread), and those delivered without stopping it, in file order.
    std::uint64_t mSubmitted = 0;
    std::atomic<std::uint64_t> mPassed{0};
    // The reader runs ahead of the writer; what it meets waits here for the frames before it, and
    // everything below is changed only by these steps.
    FileOrderSteps mHeld;
    std::vector<std::uint64_t> mBlocksRead;  // per chunk
    std::uint64_t mVideoBlocks = 0;
    std::uint64_t mAudioBlocks = 0;
    bool mPrepared = false;
    bool mBadFocusPixelMap = false;
    bool mHaveHeader = false;
    bool mAudioWritten = false;
    bool mStoppedEarly = false;
    std::string mFatal;
    std::unique_ptr<FramePipeline> mPipeline;
};

Conversion::Conversion(const ConverterOptions& options, Reporter& report, std::ostream& err,
                       std::vector<std::unique_ptr<ByteSource>> chunks, std::uint64_t announcedFrames)
    : mOptions(options)
    , mReport(report)
    , mReader(std::move(chunks))
    , mCorrector(options.corrections)
    , mDecoder()
    , mDngWriter(std::string("Korvalin mlv2dng ") + Converter::kVersion)
    , mCores(options.workers > 0 ? options.workers : std::max(1u, std::thread::hardware_concurrency()))
    , mBuffers(kInFlightPerCore * mCores + 3)
    , mProcessor(options, mCorrector, mDngWriter, mCores)
    , mSound(Converter::wavPath(options.prefix), report)
    , mProgress(err, options.showProgress, wantedOf(announcedFrames))
    , mBlocksRead(mReader.chunkCount(), 0)
{
    auto initial = std::make_shared<ClipMetadata>();
    initial->reelName = Converter::reelName(options.input);
    mCurrent = initial;
}

int Conversion::run()
{
    mPipeline = std::make_unique<FramePipeline>(
        mCores, kInFlightPerCore * mCores + 2,
        [this](FrameJob& job, unsigned worker) { return mProcessor.process(job, worker); },
        [this](FrameResult& result) { return deliver(result); });
    MlvBlock block;
    for (;;) {
        if (block.bytes.capacity() == 0)
            block.bytes = mBuffers.take();
        const MlvReader::Result step = mReader.next(block);
        std::vector<std::string> warnings = mReader.takeWarnings();
        if (!warnings.empty())
            mHeld.add(mSubmitted, [this, warnings] {
                for (const std::string& warning : warnings)
                    mReport.error(warning);
            });
        if (step == MlvReader::Result::End)
            break;
        if (step == MlvReader::Result::Error) {
            // A full card or a dead battery cuts the last frame short; the frames before it are whole.
            if (mOptions.relaxed && mReader.cutShort()) {
                mHeld.add(mSubmitted, [this, warning = mReader.error()] {
                    mReport.warning(warning + ": the recording was cut short; the complete frames are kept");
                });
                break;
            }
            holdFatal(mReader.error());
            break;
        }
        holdBlock(block);
        if (!onBlock(block))
            break;
        // With no frame in flight, nothing waits for the writer.
        mHeld.runThrough(mPassed);
    }
    mPipeline->finish();
    mHeld.runThrough(mPassed);
    mProgress.finish();
    mStoppedEarly = !mFatal.empty() || mPipeline->stopped();

    if (!mFatal.empty())
        mReport.error(mFatal);
    // A map the user wrote stops the conversion before anything is written, as a bad option does.
    if (mBadFocusPixelMap)
        return Converter::BadCommandLine;
    mAudioWritten = mSound.finish(mCurrent->clock);
    if (mWritten == 0 && mFatal.empty() && mSkipped == 0 && mUnwritten == 0)
        mReport.error("'" + mOptions.input + "' holds no video frame"
                      + (mVideoBlocks > 0 && (mOptions.firstFrame > 0 || mOptions.lastFrame < 0xffffffffu)
                             ? " in the frame range " + std::to_string(mOptions.firstFrame) + " to "
                                   + std::to_string(mOptions.lastFrame)
                             : std::string()));
    return mReport.errorCount() == 0 && mWritten > 0 ? Converter::Success : Converter::Failed;
}

void Conversion::holdBlock(const MlvBlock& block)
{
    mHeld.add(mSubmitted, [this, chunk = block.chunk, type = block.type,
                           line = mOptions.verbose ? describeBlock(block) : std::string()] {
        ++mBlocksRead[chunk];
        if (type == BlockTypes::kVideoFrame)
            ++mVideoBlocks;
        else if (type == BlockTypes::kAudioFrame)
            ++mAudioBlocks;
        if (!line.empty())
            mReport.info(line);
    });
}

void Conversion::holdFatal(const std::string& error)
{
    mHeld.add(mSubmitted, [this, error] { mFatal = error; });
}

bool Conversion::onBlock(MlvBlock& block)
{
    const std::string& type = block.type;
    if (type == BlockTypes::kFileHeader)
        return onFileHeader(block);
    if (type == BlockTypes::kVideoFrame)
        return onVideoFrame(block);
    if (type == BlockTypes::kAudioFrame) {
        if (!mOptions.audio)
            return true;
        const std::string damage = mCurrent->audio.present ? SoundTrack::damage(block) : std::string();
        if (!damage.empty() && !mOptions.relaxed) {
            holdFatal(damage);
            return false;
        }
        mHeld.add(mSubmitted, [this, block, metadata = mCurrent] { mSound.add(block, *metadata); });
        return true;
    }
    if (MetadataParser::handles(type))
        onMetadata(block);
    return true;
}

bool Conversion::onFileHeader(const MlvBlock& block)
{
    if (mHaveHeader)
        return true;  // the first chunk's header describes the recording
    mHaveHeader = true;
    auto next = std::make_shared<ClipMetadata>(*mCurrent);
    next->header = MetadataParser::parseFileHeader(block.bytes.data(), block.bytes.size());
    applyOverrides(*next);
    mCurrent = next;
    const std::string unsupported = FrameDecoder::unsupportedVideo(next->header.videoClass);
    if (!unsupported.empty() && next->header.videoClass != 0) {
        holdFatal(unsupported);
        return false;
    }
    return true;
}

bool Conversion::onVideoFrame(MlvBlock& block)
{
    FrameJob job;
    const ByteCursor cursor(block.bytes.data(), block.bytes.size());
    job.frameNumber = cursor.u32(16);
    if (!wanted(job.frameNumber))
        return true;
    job.timestamp = block.timestamp;
    job.metadata = mCurrent;
    job.block = std::move(block.bytes);
    if (!mPrepared) {
        // The corrector learns from the first frame in file order, before any parallel work.
        if (mDecoder.decode(job.block.data(), job.block.size(), *mCurrent, job.frame, job.error)) {
            FocusPixelSetup::Choice focusPixels = FocusPixelSetup::choose(mOptions, *mCurrent, job.frame);
            for (const std::string& note : focusPixels.notes)
                mReport.info(note);
            if (!focusPixels.error.empty()) {
                mFatal = focusPixels.error;
                mBadFocusPixelMap = true;
                return false;
            }
            mCorrector.useFocusPixels(std::move(focusPixels.fixer));
            mCorrector.prepare(job.frame);
            mPrepared = true;
            job.decoded = true;
        }
    }
    if (!mPipeline->submit(std::move(job)))
        return false;
    ++mSubmitted;
    return true;
}

void Conversion::onMetadata(const MlvBlock& block)
{
    // Copy on write: frames already queued keep the metadata they were read with.
    auto next = std::make_shared<ClipMetadata>(*mCurrent);
    MetadataParser::apply(block.type, block.bytes.data(), block.bytes.size(), *next);
    applyOverrides(*next);
    mCurrent = next;
}

void Conversion::applyOverrides(ClipMetadata& metadata) const
{
    if (mOptions.fpsTimes1000 > 0) {
        metadata.header.fpsNumerator = mOptions.fpsTimes1000;
        metadata.header.fpsDenominator = 1000;
    }
    // Levels are given at 14 bits, as recorders scale them: rounded down to lower depths.
    const int bits = metadata.raw.bitsPerPixel;
    const auto scaled = [bits](int level) {
        if (bits >= 14)
            return level << (bits - 14);
        return (level + (1 << (13 - bits))) >> (14 - bits);
    };
    if (mOptions.blackLevel && metadata.raw.present && bits > 0 && bits <= 16)
        metadata.raw.blackLevel = scaled(*mOptions.blackLevel);
    if (mOptions.whiteLevel && metadata.raw.present && bits > 0 && bits <= 16)
        metadata.raw.whiteLevel = scaled(*mOptions.whiteLevel);
}

std::uint64_t Conversion::wantedOf(std::uint64_t announced) const
{
    if (announced == 0 || mOptions.firstFrame >= announced)
        return 0;
    return std::min<std::uint64_t>(announced - 1, mOptions.lastFrame) - mOptions.firstFrame + 1;
}

bool Conversion::deliver(FrameResult& result)
{
    // What the file holds before this frame comes first, whatever becomes of the frame.
    mHeld.runThrough(result.sequence);
    std::string error = result.error;
    const bool written = result.ok
                         && AtomicFile::writeWhole(Converter::framePath(mOptions.prefix, result.frameNumber),
                                                   result.header.data(), result.header.size(),
                                                   result.data.data() + result.stripOffset, result.stripSize, error);
    mBuffers.give(std::move(result.data));
    if (written) {
        ++mWritten;
        mFirstWritten = std::min(mFirstWritten, result.frameNumber);
        mLastWritten = std::max(mLastWritten, result.frameNumber);
        mProgress.frameWritten(mWritten);
        mPassed = result.sequence + 1;
        return true;
    }
    mReport.error(error);
    ++(result.ok ? mUnwritten : mSkipped);
    if (mOptions.relaxed)
        mPassed = result.sequence + 1;
    return mOptions.relaxed;
}

void Conversion::summarise(double seconds)
{
    const bool statistics = !mStoppedEarly && mWritten > 0;
    for (std::size_t i = 0; statistics && i < mBlocksRead.size(); ++i)
        mReport.info("Chunk " + std::to_string(i + 1) + ": " + std::to_string(mBlocksRead[i]) + " blocks read");
    std::ostringstream summary;
    summary << "Video blocks: " << mVideoBlocks << ", audio blocks: " << mAudioBlocks;
    if (statistics)
        mReport.info(summary.str());
    if (mWritten > 0)
        mReport.info("Wrote " + std::to_string(mWritten) + " DNG frames ("
                     + Converter::framePath(mOptions.prefix, mFirstWritten) + " to "
                     + Converter::framePath(mOptions.prefix, mLastWritten) + ")");
    if (mSkipped > 0)
        mReport.info("Skipped " + std::to_string(mSkipped) + " damaged frames");
    if (mUnwritten > 0)
        mReport.info("Could not write " + std::to_string(mUnwritten) + " frames");
    if (mAudioWritten)
        mReport.info("Wrote audio: " + mSound.path() + " (" + std::to_string(mSound.dataBytes()) + " bytes of sound)");
    if (!statistics)
        return;
    char rate[96];
    std::snprintf(rate, sizeof rate, "Processed %llu video frames at %.2f frames per second (%.2f s)",
                  static_cast<unsigned long long>(mWritten.load()), seconds > 0 ? mWritten / seconds : 0.0, seconds);
    mReport.info(rate);
}

}  // namespace

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
    const NativeFile::Kind kind = NativeFile::kindOf(directory);
    if (kind != NativeFile::Kind::Directory) {
        report.error("output folder '" + directory + "' "
                     + (kind == NativeFile::Kind::Missing ? "does not exist" : "is not a folder"));
        return Failed;
    }
    Conversion conversion(mOptions, report, mErr, std::move(chunks), mAnnouncedFrames);
    const int exitCode = conversion.run();
    conversion.summarise(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return exitCode;
}

}  // namespace mlv2dng
