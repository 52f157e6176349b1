// The options record belongs to the engine, which runs batches from it; this name stays for the
// code that has always found it beside the store that loads and saves it.
#pragma once

#include "engine/conversionsettings.h"
