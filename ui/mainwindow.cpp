#include "ui/mainwindow.h"

#include "settings/settingsstore.h"

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setupUi(this);
    LoadSettings();
}

MainWindow::~MainWindow() = default;

void MainWindow::LoadSettings()
{
    SettingsStore::Load(mSettings);
}

void MainWindow::SaveSettings()
{
    SettingsStore::Save(mSettings);
}
