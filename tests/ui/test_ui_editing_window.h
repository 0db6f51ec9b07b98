#pragma once
// The main window for the editing, sequence and file tests: the shared
// fixture of a window on a temporary program folder.
#include "support/WindowFixtures.h"

using EditingWindow = qvtest::WindowOnDataFolder;
