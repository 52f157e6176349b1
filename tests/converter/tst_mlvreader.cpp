// The block walker and chunk discovery: what whole conversions cannot pin down exactly.
#include "chunkfinder.h"
#include "memorysource.h"
#include "mlvreader.h"
#include "mlvwriter.h"

#include <QtTest>

#include <fstream>
#include <memory>

using namespace mlv2dng;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Walk
{
    std::vector<MlvBlock> blocks;
    MlvReader::Result end = MlvReader::Result::Block;
    std::string error;
    std::vector<std::string> warnings;
};

Walk walk(const std::vector<Bytes>& files)
{
    std::vector<std::unique_ptr<ByteSource>> sources;
    for (std::size_t i = 0; i < files.size(); ++i)
        sources.push_back(std::make_unique<MemorySource>(files[i].data(), files[i].size(), "chunk" + std::to_string(i)));
    MlvReader reader(std::move(sources));
    Walk result;
    MlvBlock block;
    while ((result.end = reader.next(block)) == MlvReader::Result::Block && result.blocks.size() < 1000)
        result.blocks.push_back(block);
    for (auto& w : reader.takeWarnings())
        result.warnings.push_back(w);
    result.error = reader.error();
    return result;
}

// Four blocks: MLVI, RAWI, a NULL pad, one frame.
Bytes smallClip(std::uint64_t guid = 7, std::uint16_t fileNumber = 0, bool withRawInfo = true)
{
    mlvtest::MlvWriter w;
    w.fileHeader(guid, fileNumber, 1, 0, 2);
    if (withRawInfo)
        w.rawInfo(16, 4, 14, 2048, 15000);
    w.padTo(512);
    w.videoFrame(fileNumber, mlvtest::testPattern(16, 4, 14, 0), 14);
    return w.bytes();
}

}  // namespace

class TestMlvReader : public QObject
{
    Q_OBJECT

private slots:
    void damagedFilesEndWithAReason_data()
    {
        QTest::addColumn<Bytes>("file");
        QTest::addColumn<int>("blocksBefore");
        QTest::addColumn<QString>("reason");
        const Bytes good = smallClip();
        QTest::newRow("file ends inside a block header") << Bytes(good.begin(), good.begin() + 57) << 1
                                                         << "ends inside a block header";
        Bytes garbage = good;
        for (int i = 0; i < 40; ++i)
            garbage.push_back(static_cast<std::uint8_t>(i * 37 + 11));
        QTest::newRow("garbage after the last block") << garbage << 4 << "invalid block size";
        for (const std::uint8_t top : {0, 0x7f}) {  // 8 bytes, below a header; about 2 GiB
            Bytes bad = good;
            bad.insert(bad.end(), {'V', 'I', 'D', 'F', std::uint8_t(top ? 0 : 8), 0, 0, top, 0, 0, 0, 0, 0, 0, 0, 0});
            bad.resize(bad.size() + 32);
            QTest::addRow("block size %d", top) << bad << 4 << (top ? "invalid block size" : "invalid block size 8");
        }
    }

    // Damage stops the walk with a reason, after handing out every block before it.
    void damagedFilesEndWithAReason()
    {
        QFETCH(Bytes, file);
        QFETCH(int, blocksBefore);
        QFETCH(QString, reason);
        const Walk result = walk({file});
        QCOMPARE(result.end, MlvReader::Result::Error);
        QCOMPARE(int(result.blocks.size()), blocksBefore);
        QVERIFY2(QString::fromStdString(result.error).contains(reason), result.error.c_str());
    }

    // Chunks are walked in order; one with a foreign GUID is named in a warning and still read,
    // and a later chunk must start with its own header too.
    void chunksAndGuids()
    {
        const Walk mixed = walk({smallClip(), smallClip(7, 1, false), smallClip(99, 2, false)});
        QCOMPARE(mixed.end, MlvReader::Result::End);
        QCOMPARE(mixed.blocks.size(), std::size_t(10));
        QCOMPARE(mixed.blocks[6].chunk, std::size_t(1));
        QCOMPARE(mixed.blocks.back().chunk, std::size_t(2));
        QCOMPARE(mixed.blocks.back().type, std::string("VIDF"));
        QCOMPARE(mixed.warnings.size(), std::size_t(1));
        QVERIFY(mixed.warnings[0].find("chunk2") != std::string::npos);

        const Bytes second = smallClip(7, 1, false);
        const Walk headless = walk({smallClip(), Bytes(second.begin() + 52, second.end())});
        QCOMPARE(headless.end, MlvReader::Result::Error);
        QCOMPARE(headless.blocks.size(), std::size_t(4));
    }

    void chunkNamesKeepTheExtensionsCase()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const char* name : {"A001.MLV", "A001.M00", "A001.M01", "A001.M03", "b002.mlv", "b002.m00", "b002.M01"})
            std::ofstream(dir.filePath(name).toStdString()) << "x";
        const auto upper = ChunkFinder::chunksOf(dir.filePath("A001.MLV").toStdString());
        QCOMPARE(upper.size(), std::size_t(3));  // stops at the missing .M02
        QCOMPARE(QString::fromStdString(upper[2]), dir.filePath("A001.M01"));
        const auto lower = ChunkFinder::chunksOf(dir.filePath("b002.mlv").toStdString());
        QCOMPARE(lower.size(), std::size_t(2));  // b002.M01 is another name on Linux
        QCOMPARE(QString::fromStdString(lower[1]), dir.filePath("b002.m00"));
    }
};

QTEST_APPLESS_MAIN(TestMlvReader)
#include "tst_mlvreader.moc"
