// A real MainWindow whose dialogs, exit, processor count and I/O counters are answered by the test.
#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QTime>

#include "engine/processio.h"
#include "ui/mainwindow.h"

class QDropEvent;
class QMimeData;

class WindowHarness
{
public:
    // One dialog the window asked for, with what it passed.
    struct DialogCall
    {
        QString kind;  // "files", "file", "directory", "information" or "question"
        QString caption;
        QString start;
        QString filter;
    };

    WindowHarness();
    ~WindowHarness();

    MainWindow& window() { return *mWindow; }

    template <typename Widget>
    Widget* find(const char* objectName) const
    {
        return mWindow->findChild<Widget*>(QString::fromLatin1(objectName));
    }

    // Drags the data onto the window and drops it there, as a file manager would;
    // tells whether the drop event came back accepted.
    bool drop(QMimeData* pData);
    // Drops local files (or any URL given with a scheme) in this order.
    void dropPaths(const QStringList& paths);
    // The cell texts of one column, top to bottom.
    QStringList column(int column) const;

    // What the next dialogs answer; an empty answer is a cancel.
    QStringList openFileNamesAnswer;
    QString openFileNameAnswer;
    QString directoryAnswer;
    QMessageBox::StandardButton questionAnswer = QMessageBox::No;

    QList<DialogCall> calls;
    QList<int> exitCodes;
    int idealThreadCount = 8;
    std::optional<ProcessIoCounters> counters;
    QList<qint64> counterQueries;
    QTime now;

private:
    std::unique_ptr<MainWindow> mWindow;
};
