// The global conversion options and the job list: what the engine runs a batch from, as one plain value.
#pragma once

#include <list>

#include <QString>

#include "engine/mlvworker.h"

struct ConversionSettings
{
    std::list<MLVWorker> workers;
    QString source;
    QString destination;
    QString executable;
    qint32 threads = 1;
    qint32 chromaSmoothing = 0;
    bool customDestination = false;
    bool fixColdPixels = true;
    bool fixMovingColdPixels = false;
    bool fixVerticalStripes = true;
    bool skipErrors = false;
    bool verbose = false;
    bool compressDng = false;
};
