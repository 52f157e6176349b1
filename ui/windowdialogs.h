// The modal dialogs and the application exit the window relies on, replaceable so that tests never block.
#pragma once

#include <functional>

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

struct WindowDialogs
{
    // (parent, caption, start directory, filter) -> chosen paths; empty when cancelled.
    std::function<QStringList(QWidget*, const QString&, const QString&, const QString&)> openFileNames;
    // (parent, caption, start path, filter) -> chosen path; empty when cancelled.
    std::function<QString(QWidget*, const QString&, const QString&, const QString&)> openFileName;
    // (parent, caption, start directory) -> chosen directory; empty when cancelled.
    std::function<QString(QWidget*, const QString&, const QString&)> existingDirectory;
    // (parent, title, text): a box with one Ok button.
    std::function<void(QWidget*, const QString&, const QString&)> information;
    // (parent, title, text) -> the button pressed, out of Yes and No.
    std::function<QMessageBox::StandardButton(QWidget*, const QString&, const QString&)> question;
    // Ends the application's event loop with the given code.
    std::function<void(int)> exitApplication;

    // The toolkit's own static dialogs and QCoreApplication::exit.
    static WindowDialogs Standard();
};
