// A real MainWindow whose dialogs, exit, processor count and I/O counters are answered by the test.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>

#include "engine/processio.h"
#include "ui/mainwindow.h"

class WindowHarness
{
public:
    WindowHarness()
    {
        WindowDialogs dialogs;
        dialogs.openFileNames = [this](QWidget*, const QString& caption, const QString& start, const QString& filter) {
            return record({"files", caption, start, filter}), openFileNamesAnswer;
        };
        dialogs.openFileName = [this](QWidget*, const QString& caption, const QString& start, const QString& filter) {
            return record({"file", caption, start, filter}), openFileNameAnswer;
        };
        dialogs.existingDirectory = [this](QWidget*, const QString& caption, const QString& start) {
            return record({"directory", caption, start}), directoryAnswer;
        };
        dialogs.information = [this](QWidget*, const QString& title, const QString& text) {
            record({"information", title, text});
        };
        dialogs.question = [this](QWidget*, const QString& title, const QString& text) {
            return record({"question", title, text}), questionAnswer;
        };
        dialogs.exitApplication = [this](int code) { exitCodes.append(code); };
        mWindow->SetDialogs(std::move(dialogs));
        mWindow->SetIdealThreadCount([this] { return idealThreadCount; });
        // Like the real reader, the counter source knows no process 0.
        mWindow->SetProgressSources(
            [this](qint64 id) { return counterQueries.append(id), id > 0 ? counters : std::nullopt; },
            [this] { return now; });
    }

    MainWindow& window() { return *mWindow; }

    template <typename Widget = QWidget>
    Widget* find(const char* objectName) const
    {
        return mWindow->findChild<Widget*>(QString::fromLatin1(objectName));
    }

    // Writes a file of that many bytes into the harness's temporary folder and returns its path.
    QString file(const QString& name, int bytes = 4)
    {
        QFile file(files.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray(bytes, 'm')) == bytes ? file.fileName()
                                                                                             : QString();
    }

    // Drags the data onto the window and drops it there, as a file manager would.
    void drop(QMimeData* pData)
    {
        // The toolkit delivers a drop only to the widget that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, pData, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(mWindow.get(), &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, pData, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(mWindow.get(), &event);
    }

    // Drops local files (or any URL given with a scheme) in this order.
    void dropPaths(const QStringList& paths)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
        QMimeData data;
        data.setUrls(urls);
        drop(&data);
    }

    // The cell texts of one column, top to bottom.
    QStringList column(int column) const
    {
        const auto* pTable = find<QTableWidget>("mpTable");
        QStringList texts;
        for (int row = 0; row < pTable->rowCount(); ++row)
            texts.append(pTable->item(row, column) ? pTable->item(row, column)->text() : QStringLiteral("<none>"));
        return texts;
    }

    // The form's controls that are enabled (or disabled), in the form's order.
    QStringList controls(bool enabled) const
    {
        QStringList names;
        for (const QWidget* pWidget : formControls())
            if (pWidget->isEnabled() == enabled)
                names.append(pWidget->objectName());
        return names;
    }

    // The form's controls drawn with the red border of a missing input.
    QStringList marked() const
    {
        QStringList names;
        for (const QWidget* pWidget : formControls()) {
            const QString red = QLatin1String(pWidget->metaObject()->className()) + " { border: 2px solid red; }";
            if (!pWidget->styleSheet().isEmpty())
                names << pWidget->objectName() + (pWidget->styleSheet() == red ? "" : ": " + pWidget->styleSheet());
        }
        return names;
    }

    // The option controls' values in the form's order, e.g. "|1|None|true|...|<into source directory>".
    QString options() const
    {
        QStringList values;
        for (const QWidget* pWidget : formControls()) {
            const char* property = pWidget->inherits("QCheckBox")   ? "checked"
                                   : pWidget->inherits("QComboBox") ? "currentText"
                                   : pWidget->inherits("QLineEdit") ? "text"
                                   : pWidget->inherits("QSpinBox")  ? "value"
                                                                    : nullptr;
            if (property)
                values << pWidget->property(property).toString();
        }
        return values.join(QLatin1Char('|'));
    }

    void update(const MLVWorker& job)
    {
        if (!QMetaObject::invokeMethod(mWindow.get(), "UpdateTable", Q_ARG(MLVWorker, job)))
            qFatal("UpdateTable cannot be invoked");
    }

    void refresh(const std::vector<MLVWorker>& running)
    {
        if (!QMetaObject::invokeMethod(mWindow.get(), "RefreshTable", Q_ARG(std::vector<MLVWorker>, running)))
            qFatal("RefreshTable cannot be invoked");
    }

    // What the next dialogs answer; an empty answer is a cancel.
    QStringList openFileNamesAnswer;
    QString openFileNameAnswer;
    QString directoryAnswer;
    QMessageBox::StandardButton questionAnswer = QMessageBox::No;

    QStringList calls;  // every dialog asked for, as "kind|caption|start or text[|filter]"
    QList<int> exitCodes;
    int idealThreadCount = 8;
    std::optional<ProcessIoCounters> counters;
    QList<qint64> counterQueries;
    QTime now = QTime::currentTime();
    QTemporaryDir files;

private:
    void record(const QStringList& call) { calls.append(call.join(QLatin1Char('|'))); }

    QList<QWidget*> formControls() const
    {
        return mWindow->centralWidget()->findChildren<QWidget*>(QRegularExpression(QStringLiteral("^mp")));
    }

    std::unique_ptr<MainWindow> mWindow = std::make_unique<MainWindow>();
};
