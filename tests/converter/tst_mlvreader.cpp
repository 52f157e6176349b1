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
using Chunks = std::vector<Bytes>;

namespace {

// Four blocks: MLVI, RAWI (first chunk only), a NULL pad, one frame.
Bytes smallClip(std::uint64_t guid = 7, std::uint16_t fileNumber = 0)
{
    mlvtest::MlvWriter w;
    w.fileHeader(guid, fileNumber, 1, 0, 2);
    if (fileNumber == 0)
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
    void walk_data()
    {
        QTest::addColumn<Chunks>("chunks");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("message");  // the error, or the warning of a walk that ends well
        const Bytes good = smallClip();
        QTest::newRow("file ends inside a block header") << Chunks{Bytes(good.begin(), good.begin() + 57)} << 1
                                                         << "ends inside a block header";
        Bytes garbage = good;
        for (int i = 0; i < 40; ++i)
            garbage.push_back(static_cast<std::uint8_t>(i * 37 + 11));
        QTest::newRow("garbage after the last block") << Chunks{garbage} << 4 << "invalid block size";
        for (const std::uint8_t top : {0, 0x7f}) {  // 8 bytes, below a header; about 2 GiB
            Bytes bad = good;
            bad.insert(bad.end(), {'V', 'I', 'D', 'F', std::uint8_t(top ? 0 : 8), 0, 0, top, 0, 0, 0, 0, 0, 0, 0, 0});
            bad.resize(bad.size() + 32);
            QTest::addRow("block size %d", top) << Chunks{bad} << 4 << (top ? "invalid block size" : "invalid block size 8");
        }
        QTest::newRow("chunk of another recording") << Chunks{good, smallClip(7, 1), smallClip(99, 2)} << 10
                                                    << "chunk2";
        const Bytes second = smallClip(7, 1);
        QTest::newRow("chunk without a header") << Chunks{good, Bytes(second.begin() + 52, second.end())} << 4 << "MLVI";
    }

    // Damage stops the walk with a reason, after handing out every block before it; chunks are
    // walked in order, and one from another recording is named in a warning but still read.
    void walk()
    {
        QFETCH(Chunks, chunks);
        QFETCH(int, blocks);
        QFETCH(QString, message);
        std::vector<std::unique_ptr<ByteSource>> sources;
        for (std::size_t i = 0; i < chunks.size(); ++i)
            sources.push_back(std::make_unique<MemorySource>(chunks[i].data(), chunks[i].size(), "chunk" + std::to_string(i)));
        MlvReader reader(std::move(sources));
        MlvBlock block;
        std::vector<MlvBlock> seen;
        MlvReader::Result end;
        while ((end = reader.next(block)) == MlvReader::Result::Block && seen.size() < 1000)
            seen.push_back(block);
        QCOMPARE(int(seen.size()), blocks);
        const std::vector<std::string> warnings = reader.takeWarnings();
        if (message == "chunk2") {
            QCOMPARE(end, MlvReader::Result::End);
            QCOMPARE(seen.back().chunk, std::size_t(2));
            QCOMPARE(seen.back().type, std::string("VIDF"));
            QCOMPARE(warnings.size(), std::size_t(1));
            QVERIFY2(QString::fromStdString(warnings[0]).contains("chunk2"), warnings[0].c_str());
        } else {
            QCOMPARE(end, MlvReader::Result::Error);
            QVERIFY2(QString::fromStdString(reader.error()).contains(message), reader.error().c_str());
        }
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
