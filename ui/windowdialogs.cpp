#include "ui/windowdialogs.h"

#include <QCoreApplication>
#include <QFileDialog>

WindowDialogs WindowDialogs::Standard()
{
    WindowDialogs dialogs;
    dialogs.openFileNames = [](QWidget* pParent, const QString& caption, const QString& directory,
                               const QString& filter) {
        return QFileDialog::getOpenFileNames(pParent, caption, directory, filter);
    };
    dialogs.openFileName = [](QWidget* pParent, const QString& caption, const QString& path, const QString& filter) {
        return QFileDialog::getOpenFileName(pParent, caption, path, filter);
    };
    dialogs.existingDirectory = [](QWidget* pParent, const QString& caption, const QString& directory) {
        return QFileDialog::getExistingDirectory(pParent, caption, directory, QFileDialog::ShowDirsOnly);
    };
    dialogs.information = [](QWidget* pParent, const QString& title, const QString& text) {
        QMessageBox::information(pParent, title, text, QMessageBox::Ok);
    };
    dialogs.question = [](QWidget* pParent, const QString& title, const QString& text) {
        return QMessageBox::question(pParent, title, text, QMessageBox::Yes | QMessageBox::No);
    };
    dialogs.exitApplication = [](int code) { QCoreApplication::exit(code); };
    return dialogs;
}
