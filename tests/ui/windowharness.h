// A real MainWindow whose dialogs, exit, processor count and I/O counters are answered by the test.
#pragma once

#include <optional>

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
    // The bundled converter is what a first start offers as the executable; none by default.
    explicit WindowHarness(const QString& bundledConverter = {}) : mWindow(bundledConverter)
    {
        WindowDialogs dialogs;
        dialogs.openFileNames = [this](QWidget*, const auto&... text) {
            return record({"files", text...}), chosenFiles;
        };
        dialogs.openFileName = [this](QWidget*, const auto&... text) { return record({"file", text...}), chosenFile; };
        dialogs.existingDirectory = [this](QWidget*, const auto&... text) {
            return record({"directory", text...}), chosenFolder;
        };
        dialogs.information = [this](QWidget*, const auto&... text) { record({"information", text...}); };
        dialogs.question = [this](QWidget*, const auto&... text) {
            return record({"question", text...}), QMessageBox::No;
        };
        dialogs.exitApplication = [this](int code) { exitCodes.append(code); };
        mWindow.SetDialogs(std::move(dialogs));
        mWindow.SetIdealThreadCount([this] { return idealThreadCount; });
        // Like the real reader, the counter source knows no process 0.
        mWindow.SetProgressSources(
            [this](qint64 id) { return counterQueries.append(id), id > 0 ? counters : std::nullopt; },
            [this] { return now; });
    }

    MainWindow& window() { return mWindow; }

    template <typename Widget = QWidget>
    Widget* find(const char* name) const
    {
        return mWindow.findChild<Widget*>(QString::fromLatin1(name));
    }

    // Writes a file of that many bytes into the harness's temporary folder and returns its path.
    QString file(const QString& name, int bytes = 4)
    {
        QFile file(files.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray(bytes, 'm')) == bytes ? file.fileName() : "";
    }

    // Drags local files (or any URL given with a scheme) onto the window and drops them there, in this order;
    // with no paths, the data holds just the text. The drag source offers `possible` and proposes `proposed`.
    // Returns the action the window took at the drop (IgnoreAction when it refused it), after noting in
    // `entered` what it did at the entry. The toolkit delivers a drop only after an accepted entry.
    Qt::DropAction drop(const QStringList& paths, const QString& text = {}, Qt::DropActions possible = Qt::CopyAction,
                        Qt::DropAction proposed = Qt::CopyAction)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
        QMimeData data;
        paths.isEmpty() ? data.setText(text) : data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), possible, &data, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(proposed);
        QApplication::sendEvent(&mWindow, &enter);
        entered = enter.isAccepted() ? enter.dropAction() : Qt::IgnoreAction;
        QDropEvent event(QPointF(10, 10), possible, &data, Qt::LeftButton, Qt::NoModifier);
        event.setDropAction(proposed);
        QApplication::sendEvent(&mWindow, &event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
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

    // The form's controls drawn with the red border of a missing input (any other style sheet is named too).
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
        for (const QWidget* pWidget : formControls())
            if (!pWidget->inherits("QPushButton") && pWidget->metaObject()->userProperty().isValid())
                values << pWidget->metaObject()->userProperty().read(pWidget).toString();
        return values.join(QLatin1Char('|'));
    }

    // Calls one of the window's table slots as the engine's queued reports do.
    void invoke(const char* slot, QGenericArgument argument)
    {
        if (!QMetaObject::invokeMethod(&mWindow, slot, argument))
            qFatal("%s cannot be invoked", slot);
    }

    // What the next dialogs answer; an empty answer is a cancel. Every question is answered No.
    QStringList chosenFiles;
    QString chosenFile;
    QString chosenFolder;

    Qt::DropAction entered = Qt::IgnoreAction;  // see drop()
    QStringList calls;                          // every dialog asked for, as "kind|caption|start or text[|filter]"
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
        return mWindow.centralWidget()->findChildren<QWidget*>(QRegularExpression("^mp"));
    }

    MainWindow mWindow;
};
