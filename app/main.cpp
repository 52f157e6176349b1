// Korvalin's entry: application identity, the value types that cross threads, the one window and the files
// it was started with.
#include <vector>

#include <QApplication>
#include <QMetaType>

#include "engine/bundledconverter.h"
#include "engine/mlvworker.h"
#include "ui/launchfiles.h"
#include "ui/mainwindow.h"

int main(int argc, char* argv[])
{
    if (LaunchFiles::PrintVersionIfAsked(argc, argv))
        return 0;
    QApplication application(argc, argv);

    // Job records travel by value through queued signals from the scheduler's thread.
    qRegisterMetaType<MLVWorker>("MLVWorker");
    qRegisterMetaType<std::vector<MLVWorker>>("std::vector<MLVWorker>");

    // These two names locate the stored options, so they must be set before the window loads them.
    QApplication::setApplicationName(QStringLiteral("Korvalin"));
    QApplication::setOrganizationName(QStringLiteral("Veltrano"));
    QApplication::setOrganizationDomain(QStringLiteral("veltrano.example"));
    // Lets the desktop match the window to the installed korvalin.desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("korvalin"));

    // Before the window exists, so --help never flashes one up.
    const QStringList files = LaunchFiles::FromArguments(QApplication::arguments());
    MainWindow window(BundledConverter::BesideProgram());
    window.AddPaths(files);
    window.show();
    return QApplication::exec();
}
