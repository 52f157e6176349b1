// The block walker: where damage stops it, which whole conversions cannot pin down exactly.
#include "io/memorysource.h"
#include "mlv/mlvreader.h"
#include "mlvwriter.h"

#include <QtTest>

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
        QTest::addColumn<QString>("message");
        const Bytes good = smallClip();
        QTest::newRow("file ends inside a block header")
            << Chunks{Bytes(good.begin(), good.begin() + 57)} << 1 << "ends inside a block header";
        Bytes garbage = good;
        garbage.insert(garbage.end(), 40, 0x9b);
        QTest::newRow("garbage after the last block") << Chunks{garbage} << 4 << "invalid block size";
        for (const std::uint8_t top : {0, 0x7f}) {  // 8 bytes, below a header; about 2 GiB
            Bytes bad = good;
            bad.insert(bad.end(), {'V', 'I', 'D', 'F', std::uint8_t(top ? 0 : 8), 0, 0, top, 0, 0, 0, 0, 0, 0, 0, 0});
            bad.resize(bad.size() + 32);
            QTest::addRow("block size %d", top)
                << Chunks{bad} << 4 << (top ? "invalid block size" : "invalid block size 8");
        }
        const Bytes second = smallClip(7, 1);
        QTest::newRow("chunk without a header")
            << Chunks{good, Bytes(second.begin() + 52, second.end())} << 4 << "MLVI";
    }

    // Damage stops the walk with a reason, after handing out every block before it, in any chunk.
    void walk()
    {
        QFETCH(Chunks, chunks);
        QFETCH(int, blocks);
        QFETCH(QString, message);
        std::vector<std::unique_ptr<ByteSource>> sources;
        for (std::size_t i = 0; i < chunks.size(); ++i)
            sources.push_back(
                std::make_unique<MemorySource>(chunks[i].data(), chunks[i].size(), "chunk" + std::to_string(i)));
        MlvReader reader(std::move(sources));
        MlvBlock block;
        std::vector<MlvBlock> seen;
        MlvReader::Result end;
        while ((end = reader.next(block)) == MlvReader::Result::Block && seen.size() < 1000)
            seen.push_back(block);
        QCOMPARE(int(seen.size()), blocks);
        QCOMPARE(end, MlvReader::Result::Error);
        QVERIFY2(QString::fromStdString(reader.error()).contains(message), reader.error().c_str());
    }
};

QTEST_APPLESS_MAIN(TestMlvReader)
#include "tst_mlvreader.moc"
