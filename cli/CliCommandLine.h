#pragma once
// The command line of quarventa-cli: one subcommand with its arguments and
// the options every subcommand shares. The subcommands are described once
// (Subcommands()); parsing, --help and the shell completion read the list.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What the program tells its caller through its exit status.
enum class CliExit : int {
    Done = 0,        // done (and, for a write, verified)
    Differences = 1, // diff: the unit and the file differ
    Usage = 2,       // the command line is wrong, or asks for what this build lacks
    NoUnit = 3,      // no unit, or it did not answer
    Refused = 4,     // an input was refused; nothing was written
    NotVerified = 5, // written, but the unit does not hold what was sent
};

struct CliSubcommand {
    const char* name;
    const char* arguments; // as --help shows them ("FILE", "WORD=VALUE...")
    const char* summary;
    int minArguments;
    int maxArguments;         // -1: any number
    const char* fileSuffixes; // the argument's accepted suffixes ("QCF qvt"); empty: any
    bool writes;              // changes the unit: asks unless --yes
    bool available;           // built into this program
};
const std::vector<CliSubcommand>& Subcommands();
const CliSubcommand* FindSubcommand(const QString& name);

struct CliRequest {
    const CliSubcommand* subcommand = nullptr;
    QStringList arguments;
    QString port; // empty: auto-connect
    bool json = false;
    bool yes = false;
    QString dataDir;
    QString logFile;
    QString unitName; // --unit: the unit on the link where it cannot be told
    std::optional<double> timeoutSeconds;
    std::optional<int> seconds; // monitor
    QString recordFile;         // monitor
};

// What the command line asks for: a request, a text to print (--help,
// --version) or a usage error (one line).
struct CliParse {
    std::optional<CliRequest> request;
    QString print;
    QString error;
};
// Arguments as main receives them, the program's name first.
CliParse ParseCliCommandLine(const QStringList& arguments);

QString CliVersionText();
