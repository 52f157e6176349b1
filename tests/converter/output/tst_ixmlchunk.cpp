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
        QTest::addColumn<quint32>("milliHertz");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QStringList>("expected");  // SCENE, TAKE, TIMECODE_FLAG
        QTest::newRow("23.976, scene and take") << 23976u << "Scene 12A, take 3 <b>" << QStringList{"12A", "3", "NDF"};
        QTest::newRow("29.97, drop-frame") << 29970u << "mistake 4 & takeover" << QStringList{"1", "1", "DF"};
        QTest::newRow("25, no notes") << 25000u << "" << QStringList{"1", "1", "NDF"};
    }

    void fields()
    {
        QFETCH(quint32, milliHertz);
        QFETCH(QString, info);
        QFETCH(QStringList, expected);
        const std::string text = IxmlChunk::text(milliHertz, 1000, info.toStdString());
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
        const QString rate = QString("%1/1000").arg(milliHertz);
        QCOMPARE((QStringList{values["SCENE"], values["TAKE"], values["TIMECODE_FLAG"], values["MASTER_SPEED"],
                              values["CURRENT_SPEED"], values["TIMECODE_RATE"]}),
                 (expected + QStringList{rate, rate, rate}));
    }
};

QTEST_APPLESS_MAIN(TestIxmlChunk)
#include "tst_ixmlchunk.moc"
