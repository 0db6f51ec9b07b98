#pragma once
// quarventa-cli's work: parse the command line, set up the data folder and the
// support log, run the subcommand and say how it ended. Standard output gets
// the results, standard error the errors (one line each) and notes.
#include "cli/CliCommandLine.h"

#include <QStringList>
#include <QTextStream>

// Arguments as main receives them, the program's name first.
CliExit RunCli(const QStringList& arguments, QTextStream& out, QTextStream& err);
