#include "windowharness.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTableWidget>
#include <QUrl>

WindowHarness::WindowHarness()
    : now(QTime::currentTime())
    , mWindow(std::make_unique<MainWindow>())
{
    WindowDialogs dialogs;
    dialogs.openFileNames = [this](QWidget*, const QString& caption, const QString& start, const QString& filter) {
        calls.append({QStringLiteral("files"), caption, start, filter});
        return openFileNamesAnswer;
    };
    dialogs.openFileName = [this](QWidget*, const QString& caption, const QString& start, const QString& filter) {
        calls.append({QStringLiteral("file"), caption, start, filter});
        return openFileNameAnswer;
    };
    dialogs.existingDirectory = [this](QWidget*, const QString& caption, const QString& start) {
        calls.append({QStringLiteral("directory"), caption, start, QString()});
        return directoryAnswer;
    };
    dialogs.information = [this](QWidget*, const QString& title, const QString& text) {
        calls.append({QStringLiteral("information"), title, text, QString()});
    };
    dialogs.question = [this](QWidget*, const QString& title, const QString& text) {
        calls.append({QStringLiteral("question"), title, text, QString()});
        return questionAnswer;
    };
    dialogs.exitApplication = [this](int code) { exitCodes.append(code); };
    mWindow->SetDialogs(std::move(dialogs));
    mWindow->SetIdealThreadCount([this] { return idealThreadCount; });
    mWindow->SetProgressSources(
        [this](qint64 processId) {
            counterQueries.append(processId);
            // Like the real reader: no process has id 0.
            return processId > 0 ? counters : std::nullopt;
        },
        [this] { return now; });
}

WindowHarness::~WindowHarness() = default;

bool WindowHarness::drop(QMimeData* pData)
{
    // The toolkit delivers a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, pData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(mWindow.get(), &enter);
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, pData, Qt::LeftButton, Qt::NoModifier);
    event.ignore();
    QApplication::sendEvent(mWindow.get(), &event);
    return event.isAccepted();
}

void WindowHarness::dropPaths(const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(path.contains(QLatin1String("://")) ? QUrl(path) : QUrl::fromLocalFile(path));
    QMimeData data;
    data.setUrls(urls);
    drop(&data);
}

QStringList WindowHarness::column(int column) const
{
    const auto* pTable = find<QTableWidget>("mpTable");
    QStringList texts;
    for (int row = 0; row < pTable->rowCount(); ++row) {
        const QTableWidgetItem* pItem = pTable->item(row, column);
        texts.append(pItem ? pItem->text() : QStringLiteral("<no item>"));
    }
    return texts;
}
