// Korvalin's only window: the job table, the global options and run control.
#pragma once

#include <QMainWindow>

#include "settings/conversionsettings.h"
#include "ui_mainwindow.h"

class MainWindow : public QMainWindow, private Ui::MainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

private:
    void LoadSettings();
    void SaveSettings();

    ConversionSettings mSettings;
};
