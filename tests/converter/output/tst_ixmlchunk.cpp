// The iXML text editors read beside the sound: well-formed, the picture's rate, the take from the clip's notes.
#include "output/ixmlchunk.h"

#include <QtTest>

using namespace mlv2dng;

class TestIxmlChunk : public QObject
{
    Q_OBJECT

private slots:
    void fields_data()
    {
        QTest::addColumn<quint32>("numerator");
        QTest::addColumn<quint32>("denominator");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QStringList>("expected");  // SCENE, TAKE, MASTER_SPEED, TIMECODE_RATE, TIMECODE_FLAG
        QTest::newRow("23.976, scene and take")
            << 23976u << 1000u << "Scene 12A, take 3 <b>" << QStringList{"12A", "3", "23976/1000", "23976/1000", "NDF"};
        QTest::newRow("29.97, drop-frame")
            << 29970u << 1000u << "mistake 4 & takeover" << QStringList{"1", "1", "29970/1000", "29970/1000", "DF"};
        QTest::newRow("25, no notes") << 25000u << 1000u << ""
                                      << QStringList{"1", "1", "25000/1000", "25000/1000", "NDF"};
    }

    void fields()
    {
        QFETCH(quint32, numerator);
        QFETCH(quint32, denominator);
        QFETCH(QString, info);
        QFETCH(QStringList, expected);
        const std::string text = IxmlChunk::text(numerator, denominator, info.toStdString());
        QCOMPARE(text.size(), IxmlChunk::kSize);
        QXmlStreamReader xml(QByteArray::fromStdString(text));
        QMap<QString, QString> values;
        QString element;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement)
                element = xml.name().toString();
            else if (xml.isCharacters() && !xml.isWhitespace())
                values[element] = xml.text().toString();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE((QStringList{values["SCENE"], values["TAKE"], values["MASTER_SPEED"], values["TIMECODE_RATE"],
                              values["TIMECODE_FLAG"]}),
                 expected);
        QCOMPARE(values["CURRENT_SPEED"], expected[2]);
    }
};

QTEST_APPLESS_MAIN(TestIxmlChunk)
#include "tst_ixmlchunk.moc"
