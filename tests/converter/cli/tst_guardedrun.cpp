// mlv2dng's last line of defence: whatever escapes the conversion ends in an error line and exit 1.
#include "cli/guardedrun.h"

#include <QtTest>

#include <sstream>
#include <stdexcept>

using namespace mlv2dng;

class TestGuardedRun : public QObject
{
    Q_OBJECT

private slots:
    void reportsWhatEscapes_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no failure") << 0 << 3 << "";
        QTest::newRow("out of memory") << 1 << 1 << "[ERROR] out of memory\n";
        QTest::newRow("standard exception") << 2 << 1 << "[ERROR] unexpected failure: disk on fire\n";
        QTest::newRow("anything else") << 3 << 1 << "[ERROR] unexpected failure\n";
    }

    void reportsWhatEscapes()
    {
        QFETCH(int, failure);
        std::ostringstream err;
        const int code = runGuarded(
            [failure] {
                if (failure == 1)
                    throw std::bad_alloc();
                if (failure == 2)
                    throw std::runtime_error("disk on fire");
                if (failure == 3)
                    throw 42;
                return 3;
            },
            err);
        QTEST(code, "exitCode");
        QTEST(QString::fromStdString(err.str()), "message");
    }
};

QTEST_APPLESS_MAIN(TestGuardedRun)
#include "tst_guardedrun.moc"
