// Shows one job: its paths, command line, state, exit code and duration, and the converter's texts at any
// length, selectable and copyable, with a way into the output folder.
#pragma once

#include <QDialog>
#include <QString>

#include "engine/mlvworker.h"

class JobDetailsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit JobDetailsDialog(const MLVWorker& job, QWidget* parent = nullptr);

private:
    // Everything the dialog shows, as one text: what "Copy all" puts on the clipboard.
    const QString mText;
};
