#pragma once
// The subcommands of quarventa-cli that talk to a unit: info, backup, diff,
// get, set, restore, monitor and flash. Each connects through CliUnit, works
// through the unit session and its rules as the window does, writes results
// to Out and errors and notes to Err (one line each), and says how it ended.
#include "cli/CliCommandLine.h"

#include <QTextStream>

CliExit RunUnitSubcommand(const CliRequest& request, QTextStream& out, QTextStream& err);
