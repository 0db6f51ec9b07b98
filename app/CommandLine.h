#pragma once
// The program's command line: --data-dir DIR points it at another data folder
// (CFG/ and FW/ below DIR); --page N and --screenshot FILE are for checking the
// window's look: show page N of the main page control, save the window as an
// image and quit; --demo runs the program against a simulated GCU.
#include <QString>
#include <QStringList>

struct StartOptions {
    QString dataDir;
    int page = -1;
    QString screenshot;
    bool commandsTab = false; // show the hidden maintenance tabs
    bool demo = false;        // start a simulated GCU for auto-connect to find
    QString error;            // empty when the command line was understood
};

StartOptions ParseCommandLine(const QStringList& arguments);
