// Korvalin's entry: application identity, the value types that cross threads, and the one window.
#include <vector>

#include <QApplication>
#include <QMetaType>

#include "engine/mlvworker.h"
#include "ui/mainwindow.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);

    // Job records travel by value through queued signals from the scheduler's thread.
    qRegisterMetaType<MLVWorker>("MLVWorker");
    qRegisterMetaType<std::vector<MLVWorker>>("std::vector<MLVWorker>");

    // These two names locate the stored options, so they must be set before the window loads them.
    QApplication::setApplicationName(QStringLiteral("Korvalin"));
    QApplication::setOrganizationName(QStringLiteral("Veltrano"));
    QApplication::setOrganizationDomain(QStringLiteral("veltrano.example"));

    MainWindow window;
    window.show();
    return QApplication::exec();
}
