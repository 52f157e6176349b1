// Whether the window has no batch, a running batch, or a batch that was asked to stop.
#pragma once

#include <QtGlobal>

enum class RunState : qint32 { Idle = 0, Running = 1, Stopping = 2 };
