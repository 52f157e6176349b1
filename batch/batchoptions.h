// Reads korvalin-batch's command line into the options of one batch and its job list.
#pragma once

#include <QString>
#include <QStringList>

#include "engine/conversionsettings.h"

struct BatchOptions
{
    enum class Action {
        Run,
        PrintCommands,
        ShowHelp,
        ShowVersion,
        Refuse  // a bad command line: `problem` says why
    };

    Action action = Action::Run;
    ConversionSettings settings;  // options and, for Run and PrintCommands, the jobs in order
    QString jsonFile;
    bool quiet = false;
    // -v: each line of the converters' output is shown as it comes.
    bool showOutput = false;
    QString problem;
    QString helpText;
    // Paths that exist but hold no MLV file, mentioned on standard error.
    QStringList skipped;

    // Reads the arguments (the program's name first). With --saved, the options the window stored
    // are read first (QSettings under the application's names); nothing is written back.
    static BatchOptions Parse(const QStringList& arguments);
    static QString UsageLine();
};
