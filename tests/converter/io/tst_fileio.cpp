// Files through the system's own calls: outputs appear whole or not at all, inputs read exactly,
// paths with blanks and non-ASCII letters, sizes past 4 GiB, and interrupted calls retried.
#include "io/atomicfile.h"
#include "io/filesource.h"
#include "io/nativefile.h"
#include "io/retryinterrupted.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

using namespace mlv2dng;

namespace {

const std::uint8_t* bytes(const QByteArray& data)
{
    return reinterpret_cast<const std::uint8_t*>(data.constData());
}

}  // namespace

class TestFileIo : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

    std::string path(const QString& name) const { return mDir.filePath(name).toStdString(); }

private slots:
    void atomicFile_data()
    {
        QTest::addColumn<QByteArray>("before");  // the final name's contents beforehand; null: no such file
        QTest::addColumn<QStringList>("steps");  // "w:DATA", "2:HEAD|TAIL", "@OFFSET:DATA", "commit"
        QTest::addColumn<QByteArray>("after");   // null: no file under the final name
        QTest::newRow("whole") << QByteArray() << QStringList{"w:abc", "commit"} << QByteArray("abc");
        QTest::newRow("head and tail") << QByteArray() << QStringList{"2:ab|cde", "2:|f", "2:g|", "commit"}
                                       << QByteArray("abcdefg");
        QTest::newRow("replaces an older file")
            << QByteArray("older and longer") << QStringList{"w:new", "commit"} << QByteArray("new");
        QTest::newRow("placed writes leave the position")
            << QByteArray() << QStringList{"w:12345678", "@12:xy", "@0:AB", "w:cd", "commit"}
            << QByteArray("AB345678cd\0\0xy", 14);
        QTest::newRow("never committed") << QByteArray() << QStringList{"w:abc"} << QByteArray();
        QTest::newRow("an older file outlives a failed run")
            << QByteArray("older") << QStringList{"w:abc"} << QByteArray("older");
    }

    void atomicFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, after);
        const std::string target = path(QString("Ausgabe %1 äöü.dng").arg(QTest::currentDataTag()));
        if (!before.isNull())
            std::ofstream(target, std::ios::binary) << before.toStdString();
        {
            AtomicFile file(target);
            QVERIFY2(file.open(), file.error().c_str());
            for (const QString& step : steps) {
                const QByteArray data = step.mid(step.indexOf(':') + 1).toUtf8();
                const QList<QByteArray> parts = data.split('|');
                const bool ok = step == "commit"        ? file.commit()
                                : step.startsWith("w:") ? file.write(bytes(data), std::size_t(data.size()))
                                : step.startsWith("2:") ? file.write(bytes(parts[0]), std::size_t(parts[0].size()),
                                                                     bytes(parts[1]), std::size_t(parts[1].size()))
                                                        : file.writeAt(step.mid(1, step.indexOf(':') - 1).toULongLong(),
                                                                       bytes(data), std::size_t(data.size()));
                QVERIFY2(ok, file.error().c_str());
            }
            QCOMPARE(NativeFile::kindOf(file.temporaryPath()),
                     steps.contains("commit") ? NativeFile::Kind::Missing : NativeFile::Kind::RegularFile);
        }
        QFile written(QString::fromStdString(target));
        QCOMPARE(written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray(), after);
        QCOMPARE(NativeFile::kindOf(target + ".part"), NativeFile::Kind::Missing);
    }

    // Inputs are read exactly; offsets and sizes past 4 GiB survive the round trip (a sparse file: nothing much is
    // written).
    void fileSource()
    {
        const std::string large = path("large.bin"), name = path("Café Müller ß.MLV");
        const std::uint64_t offset = (std::uint64_t{5} << 30) + 3;
        AtomicFile file(large);
        QVERIFY(file.open() && file.writeAt(offset, bytes("z"), 1) && file.commit());
        std::string error;
        const std::unique_ptr<FileSource> sparse = FileSource::open(large, error);
        QVERIFY2(sparse, error.c_str());
        QCOMPARE(sparse->size(), offset + 1);
        QByteArray data(200000, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + i / 251);
        std::ofstream(name, std::ios::binary).write(data.constData(), data.size());
        const std::unique_ptr<FileSource> source = FileSource::open(name, error);
        QVERIFY2(source, error.c_str());
        QCOMPARE(source->size(), std::uint64_t(data.size()));
        QByteArray read(data.size() + 10, '\0');
        std::uint8_t* at = reinterpret_cast<std::uint8_t*>(read.data());
        QCOMPARE(source->read(at, 70000), std::ptrdiff_t(70000));
        QCOMPARE(source->read(at + 70000, std::size_t(read.size()) - 70000), std::ptrdiff_t(data.size() - 70000));
        QCOMPARE(source->read(at, 10), std::ptrdiff_t(0));
        QCOMPARE(read.left(data.size()), data);
    }

    void refused()
    {
        for (const auto& [name, error] : {std::pair("nothing here.MLV", "cannot open '%1': No such file or directory"),
                                          {"", "'%1' is not a regular file"}}) {
            const std::string target = path(name);
            std::string message;
            QVERIFY(!FileSource::open(target, message));
            QCOMPARE(NativeFile::kindOf(target), *name ? NativeFile::Kind::Missing : NativeFile::Kind::Directory);
            QCOMPARE(QString::fromStdString(message), QString(error).arg(QString::fromStdString(target)));
        }
    }

    // Interrupted calls are repeated; the last answer, success or another failure, is returned.
    void retryInterrupted()
    {
        for (const auto& [interruptions, failure] : {std::pair(0, 0), {2, 0}, {1, EBADF}}) {
            int calls = 0;
            const long result = mlv2dng::retryInterrupted([&, i = interruptions, f = failure]() -> long {
                errno = ++calls <= i ? EINTR : f;
                return errno ? -1 : 42;
            });
            QCOMPARE(result, failure ? -1L : 42L);
            QCOMPARE(calls, interruptions + 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestFileIo)
#include "tst_fileio.moc"
