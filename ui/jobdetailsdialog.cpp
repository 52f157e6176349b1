#include "ui/jobdetailsdialog.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/durationtext.h"

namespace {

QLineEdit* ReadOnlyField(const QString& name, const QString& text, QWidget* pParent)
{
    auto* pField = new QLineEdit(text, pParent);
    pField->setObjectName(name);
    pField->setReadOnly(true);
    pField->setCursorPosition(0);
    return pField;
}

// A plain text view lays out only what is visible, so a verbose log of tens of thousands of lines opens at once.
// Its document is filled before the view gets it, with no undo record, which halves the time that takes.
QWidget* LogPane(const QString& name, const QString& title, const QString& text, QWidget* pParent)
{
    auto* pPane = new QWidget(pParent);
    auto* pLayout = new QVBoxLayout(pPane);
    pLayout->setContentsMargins(0, 0, 0, 0);
    auto* pView = new QPlainTextEdit(pPane);
    pView->setObjectName(name);
    pView->setReadOnly(true);
    pView->setLineWrapMode(QPlainTextEdit::NoWrap);
    pView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* pDocument = new QTextDocument(pView);
    pDocument->setDocumentLayout(new QPlainTextDocumentLayout(pDocument));
    pDocument->setUndoRedoEnabled(false);
    pDocument->setDefaultFont(pView->font());
    pDocument->setPlainText(text);
    pView->setDocument(pDocument);
    auto* pLabel = new QLabel(title, pPane);
    pLabel->setBuddy(pView);
    pLayout->addWidget(pLabel);
    pLayout->addWidget(pView);
    return pPane;
}

// Empty while the job has not ended.
QString ExitCodeText(const MLVWorker& job)
{
    if (job.mDurationMs < 0)
        return QString();
    return job.mExitCode < 0 ? QStringLiteral("none") : QString::number(job.mExitCode);
}

QString DurationOf(const MLVWorker& job)
{
    if (job.mDurationMs < 0)
        return QString();
    return QStringLiteral("%1.%2")
        .arg(DurationText::Format(job.mDurationMs))
        .arg(job.mDurationMs % 1000, 3, 10, QLatin1Char('0'));
}

QString AllText(const MLVWorker& job)
{
    return QStringLiteral("Source file: %1\nOutput folder: %2\nCommand line: %3\nState: %4\nExit code: %5\n"
                          "Duration: %6\n\nOutput:\n%7\nErrors:\n%8")
        .arg(job.mSourceFile, job.mOutputPath, job.mCommandLine, JobStatusText(job.GetStatus()), ExitCodeText(job),
             DurationOf(job), job.mStdOut, job.mStdErr);
}

}  // namespace

JobDetailsDialog::JobDetailsDialog(const MLVWorker& job, QWidget* parent) : QDialog(parent), mText(AllText(job))
{
    setWindowTitle(QStringLiteral("Job details: %1").arg(QFileInfo(job.mSourceFile).fileName()));

    auto* pFields = new QFormLayout;
    pFields->addRow(QStringLiteral("Source file"),
                    ReadOnlyField(QStringLiteral("mpEditSource"), job.mSourceFile, this));
    pFields->addRow(QStringLiteral("Output folder"),
                    ReadOnlyField(QStringLiteral("mpEditOutputFolder"), job.mOutputPath, this));
    pFields->addRow(QStringLiteral("Command line"),
                    ReadOnlyField(QStringLiteral("mpEditCommandLine"), job.mCommandLine, this));
    pFields->addRow(QStringLiteral("State"),
                    ReadOnlyField(QStringLiteral("mpEditState"), JobStatusText(job.GetStatus()), this));
    pFields->addRow(QStringLiteral("Exit code"),
                    ReadOnlyField(QStringLiteral("mpEditExitCode"), ExitCodeText(job), this));
    pFields->addRow(QStringLiteral("Duration"), ReadOnlyField(QStringLiteral("mpEditDuration"), DurationOf(job), this));

    auto* pLogs = new QSplitter(Qt::Vertical, this);
    pLogs->addWidget(LogPane(QStringLiteral("mpTextOutput"), QStringLiteral("Output"), job.mStdOut, pLogs));
    pLogs->addWidget(LogPane(QStringLiteral("mpTextErrors"), QStringLiteral("Errors"), job.mStdErr, pLogs));
    // Verbose output runs to thousands of lines; errors are a few.
    pLogs->setStretchFactor(0, 2);
    pLogs->setStretchFactor(1, 1);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* pCopy = pButtons->addButton(QStringLiteral("Copy all"), QDialogButtonBox::ActionRole);
    pCopy->setObjectName(QStringLiteral("mpButtonCopy"));
    connect(pCopy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(mText); });
    QPushButton* pOpen = pButtons->addButton(QStringLiteral("Open output folder"), QDialogButtonBox::ActionRole);
    pOpen->setObjectName(QStringLiteral("mpButtonOpenFolder"));
    pOpen->setEnabled(!job.mOutputPath.isEmpty() && QDir(job.mOutputPath).exists());
    const QUrl folder = QUrl::fromLocalFile(job.mOutputPath);
    connect(pOpen, &QPushButton::clicked, this, [folder] { QDesktopServices::openUrl(folder); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pFields);
    pLayout->addWidget(pLogs, 1);
    pLayout->addWidget(pButtons);
    resize(800, 600);
}
