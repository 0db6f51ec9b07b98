#pragma once
// The program's command line: --data-dir DIR points it at another data folder
// (CFG/ and FW/ below DIR); --demo runs the program against a simulated GCU;
// --log FILE writes a support log (--log-status: with the live status lines); --help and --version
// print and exit. The hidden options are for checking the program: --page N and --screenshot FILE
// show page N of the main page control, save the window as an image and quit;
// --install-check FILE checks an installed program (see InstallCheck.h).
#include <QString>
#include <QStringList>

struct StartOptions {
    QString dataDir;
    int page = -1;
    QString screenshot;
    bool commandsTab = false;    // show the hidden maintenance tabs
    bool demo = false;           // start a simulated GCU for auto-connect to find
    QString logFile;             // --log: the support log, as given
    bool logStatusLines = false; // --log-status: the live status lines go to the log too
    QString installCheck;        // --install-check: the configuration file to save
    QString error;               // empty when the command line was understood
};

StartOptions ParseCommandLine(const QStringList& arguments);

// The arguments without the window toolkit's own options (-platform NAME,
// -style=NAME, -reverse, ...; with one dash or two), which the toolkit takes
// out itself once it starts. The program's options can so be checked before
// the toolkit starts, without a display.
QStringList WithoutToolkitOptions(const QStringList& arguments);

// The line printed for a command line that was not understood, without its
// line end: the program's name and the reason.
QString CommandLineErrorLine(const QString& error);

// Asked for --help or --version (-h, -v): the text to print, else empty. Looks
// only for those options, so it can run before the window toolkit starts (no
// display needed) and before the toolkit has taken its own options out.
// Needs a QCoreApplication for the program's name in the usage line.
enum class InfoRequest { None, Help, Version };
InfoRequest RequestedInfo(const QStringList& arguments);
QString HelpText();
QString VersionText();
