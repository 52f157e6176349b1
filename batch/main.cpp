// korvalin-batch's entry: Korvalin's batches from a terminal, a script or a machine without a display.
#include <QCoreApplication>

#include "batch/batchprogram.h"

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    return BatchProgram::Run(application);
}
