// The block walker, metadata decoding and chunk discovery, fed with files from the test writer.
#include "chunkfinder.h"
#include "clipmetadata.h"
#include "framedecoder.h"
#include "memorysource.h"
#include "metadataparser.h"
#include "mlvreader.h"
#include "mlvwriter.h"

#include <QtTest>

#include <fstream>
#include <memory>

using namespace mlv2dng;

namespace {

struct Walk
{
    std::vector<MlvBlock> blocks;
    MlvReader::Result end = MlvReader::Result::Block;
    std::string error;
    std::vector<std::string> warnings;

    std::vector<std::string> types() const
    {
        std::vector<std::string> t;
        for (const MlvBlock& b : blocks)
            t.push_back(b.type);
        return t;
    }
};

Walk walk(const std::vector<std::vector<std::uint8_t>>& files)
{
    std::vector<std::unique_ptr<ByteSource>> sources;
    for (std::size_t i = 0; i < files.size(); ++i)
        sources.push_back(std::make_unique<MemorySource>(files[i].data(), files[i].size(), "chunk" + std::to_string(i)));
    MlvReader reader(std::move(sources));
    Walk result;
    MlvBlock block;
    for (int guard = 0; guard < 10000; ++guard) {
        result.end = reader.next(block);
        for (auto& w : reader.takeWarnings())
            result.warnings.push_back(w);
        if (result.end != MlvReader::Result::Block)
            break;
        result.blocks.push_back(block);
    }
    result.error = reader.error();
    return result;
}

mlvtest::MlvWriter smallClip(std::uint64_t guid = 7, std::uint16_t fileNumber = 0)
{
    mlvtest::MlvWriter w;
    w.fileHeader(guid, fileNumber, 1, 0, 2);
    w.rawInfo(16, 4, 14, 2048, 15000);
    w.padTo(512);
    w.videoFrame(0, mlvtest::testPattern(16, 4, 14, 0), 14);
    return w;
}

ClipMetadata applyAll(const Walk& w)
{
    ClipMetadata m;
    for (const MlvBlock& b : w.blocks)
        MetadataParser::apply(b.type, b.bytes.data(), b.bytes.size(), m);
    return m;
}

void touch(const QString& path)
{
    std::ofstream(path.toStdString()) << "x";
}

}  // namespace

class TestMlvReader : public QObject
{
    Q_OBJECT

private slots:
    void walksEveryBlockAndSkipsUnknownOnes()
    {
        mlvtest::MlvWriter w = smallClip();
        w.block("ZZZZ", std::vector<std::uint8_t>(40, 0x11));
        w.nullBlock(64);
        w.block("BKUP", std::vector<std::uint8_t>(8, 0));
        w.videoFrame(1, mlvtest::testPattern(16, 4, 14, 1), 14);
        const Walk result = walk({w.bytes()});
        QCOMPARE(result.end, MlvReader::Result::End);
        QVERIFY(result.error.empty());
        const std::vector<std::string> expected{"MLVI", "RAWI", "NULL", "VIDF", "ZZZZ", "NULL", "BKUP", "VIDF"};
        QCOMPARE(result.types(), expected);
        // Offsets follow blockSize, so the second frame is found right after the skipped blocks.
        QCOMPARE(result.blocks[7].offset, std::uint64_t(w.bytes().size() - result.blocks[7].size));
        QCOMPARE(result.blocks[7].bytes.size(), std::size_t(result.blocks[7].size));
        QCOMPARE(result.blocks[4].bytes.size(), std::size_t(16));  // unknown: header only, body skipped
    }

    void damagedFilesEndWithAReason_data()
    {
        QTest::addColumn<std::vector<std::uint8_t>>("file");
        QTest::addColumn<int>("blocksBefore");
        QTest::addColumn<QString>("reason");

        const mlvtest::MlvWriter good = smallClip();
        const std::vector<std::uint8_t> bytes = good.bytes();

        std::vector<std::uint8_t> cut(bytes.begin(), bytes.end() - 10);
        QTest::newRow("last block cut short") << cut << 3 << "runs past the end";
        std::vector<std::uint8_t> headerCut(bytes.begin(), bytes.begin() + 52 + 5);
        QTest::newRow("file ends inside a block header") << headerCut << 1 << "ends inside a block header";

        std::vector<std::uint8_t> garbage = bytes;
        for (int i = 0; i < 40; ++i)
            garbage.push_back(static_cast<std::uint8_t>(i * 37 + 11));
        QTest::newRow("garbage after the last block") << garbage << 4 << "invalid block size";

        mlvtest::MlvWriter tiny = smallClip();
        tiny.block("MARK", {});
        tiny.bytes()[tiny.bytes().size() - 12] = 8;  // blockSize 8: smaller than a header
        QTest::newRow("block size below 16") << tiny.bytes() << 4 << "invalid block size 8";

        mlvtest::MlvWriter huge = smallClip();
        huge.block("VIDF", std::vector<std::uint8_t>(32, 0));
        const std::size_t at = huge.bytes().size() - 48 + 4;
        huge.bytes()[at + 3] = 0x7f;  // about 2 GiB
        QTest::newRow("impossible block size") << huge.bytes() << 4 << "invalid block size";

        mlvtest::MlvWriter noHeader;
        noHeader.rawInfo(16, 4, 14, 0, 16383);
        QTest::newRow("first block is not MLVI") << noHeader.bytes() << 0 << "does not start with an MLVI";

        QTest::newRow("empty file") << std::vector<std::uint8_t>{} << 0 << "is empty";
        std::vector<std::uint8_t> random(300);
        for (std::size_t i = 0; i < random.size(); ++i)
            random[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
        QTest::newRow("random bytes") << random << 0 << "MLVI";
    }

    // Damage stops the walk with a reason, after handing out every block before it.
    void damagedFilesEndWithAReason()
    {
        QFETCH(std::vector<std::uint8_t>, file);
        QFETCH(int, blocksBefore);
        QFETCH(QString, reason);
        const Walk result = walk({file});
        QCOMPARE(result.end, MlvReader::Result::Error);
        QCOMPARE(int(result.blocks.size()), blocksBefore);
        QVERIFY2(QString::fromStdString(result.error).contains(reason), result.error.c_str());
    }

    void chunksAreWalkedInOrderAndAForeignGuidIsReported()
    {
        mlvtest::MlvWriter second;
        second.fileHeader(7, 1, 1, 0, 1);
        second.padTo(512);
        second.videoFrame(5, mlvtest::testPattern(16, 4, 14, 5), 14);
        mlvtest::MlvWriter foreign;
        foreign.fileHeader(99, 2, 1, 0, 1);
        foreign.videoFrame(6, mlvtest::testPattern(16, 4, 14, 6), 14);

        const Walk same = walk({smallClip().bytes(), second.bytes()});
        QCOMPARE(same.end, MlvReader::Result::End);
        QVERIFY(same.warnings.empty());
        QCOMPARE(same.blocks.back().chunk, std::size_t(1));
        QCOMPARE(same.blocks.back().type, std::string("VIDF"));

        const Walk mixed = walk({smallClip().bytes(), second.bytes(), foreign.bytes()});
        QCOMPARE(mixed.end, MlvReader::Result::End);
        QCOMPARE(mixed.warnings.size(), std::size_t(1));
        QVERIFY(mixed.warnings[0].find("chunk2") != std::string::npos);
        QCOMPARE(mixed.blocks.back().chunk, std::size_t(2));

        // A later chunk must start with its own header too.
        mlvtest::MlvWriter headless;
        headless.videoFrame(5, mlvtest::testPattern(16, 4, 14, 5), 14);
        const Walk broken = walk({smallClip().bytes(), headless.bytes()});
        QCOMPARE(broken.end, MlvReader::Result::Error);
        QCOMPARE(broken.blocks.size(), std::size_t(4));
    }

    // Fields land where the layouts put them; short blocks read as zero-filled, long ones are fine.
    void metadataFields()
    {
        mlvtest::MlvWriter w;
        w.fileHeader(0x1122334455667788ull, 0, 0x21, 1, 3, 23976, 1000);
        w.rawInfo(1920, 1080, 12, 512, 3750);
        w.exposure(1600, 31250);
        w.lens(35, 65535, 1400, "Sigma 35mm", "SN-1", 64);
        w.clock(119, 11, 31, 23, 59, 59);
        w.camera("Canon EOS 5D Mark III", 0x80000285, "ABC123");
        w.whiteBalance(6, 0, 2100, 1024, 1700);
        w.capture(3, 0, 3, 2);
        w.info("Scene 4 take 2", 7);
        w.audioFormat(2, 48000, 16);
        const Walk result = walk({w.bytes()});
        QCOMPARE(result.end, MlvReader::Result::End);
        const ClipMetadata m = applyAll(result);
        const FileHeaderInfo h = MetadataParser::parseFileHeader(result.blocks[0].bytes.data(), result.blocks[0].bytes.size());
        QCOMPARE(h.guid, 0x1122334455667788ull);
        QCOMPARE(h.videoClass, std::uint16_t(0x21));
        QCOMPARE(h.fpsNumerator, 23976u);
        QCOMPARE(m.raw.width, 1920);
        QCOMPARE(m.raw.height, 1080);
        QCOMPARE(m.raw.bitsPerPixel, 12);
        QCOMPARE(m.raw.blackLevel, 512);
        QCOMPARE(m.raw.whiteLevel, 3750);
        QCOMPARE(m.raw.cfaPattern, 0x02010100u);
        QCOMPARE(m.raw.colorMatrix[2], -635);
        QCOMPARE(m.raw.colorMatrix[17], 10000);
        QCOMPARE(m.exposure.iso, 1600u);
        QCOMPARE(m.exposure.shutterMicroseconds, std::uint64_t(31250));
        QCOMPARE(m.lens.focusDistanceMm, std::uint16_t(65535));
        QCOMPARE(m.lens.apertureHundredths, std::uint16_t(1400));
        QCOMPARE(m.lens.name, std::string("Sigma 35mm"));
        QVERIFY(m.lens.serial.empty());  // a 64-byte LENS block has no serial field
        QCOMPARE(m.clock.year, 119);
        QCOMPARE(m.clock.month, 11);
        QCOMPARE(m.clock.timestamp, std::uint64_t(4));
        QCOMPARE(m.camera.serial, std::string("ABC123"));
        QCOMPARE(m.whiteBalance.gainRed, 2100u);
        QCOMPARE(m.capture.binningY + m.capture.skippingY, 5);
        QCOMPARE(m.info, std::string("Scene 4 take 2"));
        QCOMPARE(m.audio.sampleRate, 48000u);
        QCOMPARE(m.audio.blockAlign, std::uint16_t(4));
    }

    // A frame must not be read past its block, whatever its fields claim.
    void frameDecoderChecksTheBlock()
    {
        ClipMetadata m;
        m.header.videoClass = 1;
        m.raw.present = true;
        m.raw.width = 16;
        m.raw.height = 4;
        m.raw.bitsPerPixel = 14;
        m.raw.whiteLevel = 15000;
        m.raw.blackLevel = 2048;
        const auto pixels = mlvtest::testPattern(16, 4, 14, 4);
        const FrameDecoder decoder;

        mlvtest::MlvWriter padded;
        padded.videoFrame(3, pixels, 14, 40, 300);
        RawFrame frame;
        std::string error;
        QVERIFY2(decoder.decode(padded.bytes().data(), padded.bytes().size(), m, frame, error), error.c_str());
        QCOMPARE(frame.pixels, pixels);
        QCOMPARE(frame.frameNumber, 3u);
        QCOMPARE(frame.whiteLevel, 15000);

        mlvtest::MlvWriter shortFrame;
        shortFrame.videoPayload(4, std::vector<std::uint8_t>(111, 0), 0);
        QVERIFY(!decoder.decode(shortFrame.bytes().data(), shortFrame.bytes().size(), m, frame, error));
        QVERIFY(error.find("frame 4") != std::string::npos);

        mlvtest::MlvWriter space;
        space.videoFrame(5, pixels, 14);
        space.bytes()[28 + 3] = 0x10;  // frameSpace far beyond the block
        QVERIFY(!decoder.decode(space.bytes().data(), space.bytes().size(), m, frame, error));
        QVERIFY(error.find("frame space") != std::string::npos);

        for (const std::uint16_t videoClass : {std::uint16_t(0x41), std::uint16_t(0x81), std::uint16_t(3)}) {
            ClipMetadata other = m;
            other.header.videoClass = videoClass;
            QVERIFY(!decoder.decode(padded.bytes().data(), padded.bytes().size(), other, frame, error));
        }
        ClipMetadata noFormat = m;
        noFormat.raw.present = false;
        QVERIFY(!decoder.decode(padded.bytes().data(), padded.bytes().size(), noFormat, frame, error));
        QVERIFY(error.find("RAWI") != std::string::npos);
    }

    // Lossless samples come in raster order; a count that does not fit the frame is refused.
    void losslessSamplesFillTheRaster()
    {
        RawFrame frame;
        frame.width = 4;
        frame.height = 2;
        frame.bitsPerPixel = 14;
        Lj92Image image;
        image.width = 4;
        image.height = 1;
        image.components = 2;
        image.precision = 14;
        image.samples = {1, 2, 3, 4, 5, 6, 7, 8};
        std::string error;
        QVERIFY(FrameDecoder::placeLosslessSamples(Lj92Image(image), frame, error));
        QCOMPARE(frame.at(0, 0), std::uint16_t(1));
        QCOMPARE(frame.at(3, 0), std::uint16_t(4));
        QCOMPARE(frame.at(0, 1), std::uint16_t(5));
        QCOMPARE(frame.at(3, 1), std::uint16_t(8));

        image.samples.pop_back();
        QVERIFY(!FrameDecoder::placeLosslessSamples(Lj92Image(image), frame, error));
        image.samples = {1, 2, 3, 4, 5, 6, 7, 8};
        image.precision = 16;
        QVERIFY(!FrameDecoder::placeLosslessSamples(Lj92Image(image), frame, error));
    }

    void chunkNamesKeepTheExtensionsCase()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString upper = dir.filePath("A001.MLV");
        const QString lower = dir.filePath("b002.mlv");
        for (const QString& p : {upper, dir.filePath("A001.M00"), dir.filePath("A001.M01"), dir.filePath("A001.M03"),
                                 lower, dir.filePath("b002.m00"), dir.filePath("b002.M01"), dir.filePath("c.M00")})
            touch(p);

        const auto upperChunks = ChunkFinder::chunksOf(upper.toStdString());
        QCOMPARE(upperChunks.size(), std::size_t(3));  // stops at the missing .M02
        QCOMPARE(QString::fromStdString(upperChunks[2]), dir.filePath("A001.M01"));

        const auto lowerChunks = ChunkFinder::chunksOf(lower.toStdString());
        QCOMPARE(lowerChunks.size(), std::size_t(2));  // b002.M01 is another name on Linux
        QCOMPARE(QString::fromStdString(lowerChunks[1]), dir.filePath("b002.m00"));

        QCOMPARE(ChunkFinder::chunksOf(dir.filePath("c.M00").toStdString()).size(), std::size_t(1));
        QCOMPARE(ChunkFinder::chunkName("x.MLV", 7), std::string("x.M07"));
        QCOMPARE(ChunkFinder::chunkName("x.mlv", 42), std::string("x.m42"));
        QVERIFY(ChunkFinder::hasMlvExtension("/d.mlv/clip.MlV"));
        QVERIFY(!ChunkFinder::hasMlvExtension("/d.mlv/clip"));
        QVERIFY(!ChunkFinder::hasMlvExtension("clip.mlv2"));
    }
};

QTEST_APPLESS_MAIN(TestMlvReader)
#include "tst_mlvreader.moc"
