#pragma once
// Where the restore points of every unit go: units/ in the user's data
// folder, never below the program's own folder or its CFG/ and FW/. The
// window and the command-line front end keep their points in the same place.
#include "device/RestorePointKeeper.h"

RestorePointKeeper::Places UserRestorePointPlaces();
