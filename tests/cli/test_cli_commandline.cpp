// quarventa-cli's command line: what it refuses as a usage error (one line on
// standard error, status 2, nothing on standard output), the subcommands this
// build parses but cannot run yet, --help and --version, and the shell
// completion that names the same subcommands and options.
#include "cli/CliCommandLine.h"
#include "support/CliRunner.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using qvtest::CliRun;
using qvtest::RunCliWith;

QString Joined(const QStringList& arguments) {
    return arguments.join(u' ');
}

} // namespace

TEST(CliCommandLine, usageErrors_exitWithStatus2AndOneLineOnStandardError) {
    QTemporaryDir dir;
    const struct {
        QStringList arguments;
        const char* saying; // a part of the error line
    } cases[] = {
        {{}, "no subcommand"},
        {{"frobnicate"}, "unknown subcommand \"frobnicate\""},
        {{"--bogus", "ports"}, "bogus"},
        {{"ports", "extra"}, "ports: takes no arguments"},
        {{"backup"}, "backup: takes FILE"},
        {{"backup", "a.QCF", "b.QCF"}, "backup: takes FILE"},
        {{"backup", "unit.txt"}, "is not a *.QCF or *.qvt file"},
        {{"backup", "unit"}, "is not a *.QCF or *.qvt file"},
        {{"diff", "unit.hex"}, "is not a *.QCF, *.QSQ or *.qvt file"},
        {{"restore", "unit.csv"}, "is not a *.QCF, *.QSQ or *.qvt file"},
        {{"flash", "firmware.bin"}, "is not a *.hex file"},
        {{"get"}, "get: takes WORD..."},
        {{"get", "MIN VBATT"}, "is not a command word"},
        {{"set"}, "set: takes WORD=VALUE..."},
        {{"set", "MINVBATT"}, "is not WORD=VALUE"},
        {{"set", "=11.5"}, "is not WORD=VALUE"},
        {{"set", "MINVBATT="}, "is not WORD=VALUE"},
        {{"set", "MINVBATT=11.5", "RPMLIMIT"}, "\"RPMLIMIT\" is not WORD=VALUE"},
        {{"monitor", "now"}, "monitor: takes no arguments"},
        {{"monitor", "--seconds", "0"}, "--seconds needs a whole number above 0"},
        {{"monitor", "--seconds", "ten"}, "--seconds needs a whole number above 0"},
        {{"monitor", "--record", "live.txt"}, "--record needs a *.csv file name"},
        {{"ports", "--seconds", "5"}, "--seconds and --record belong to monitor"},
        {{"info", "--record", "live.csv"}, "--seconds and --record belong to monitor"},
        {{"info", "--timeout", "0"}, "--timeout needs a number of seconds"},
        {{"info", "--timeout", "soon"}, "--timeout needs a number of seconds"},
        {{"info", "--port"}, "port"},
        {{"info", "--port", ""}, "--port needs a device path"},
        {{"ports", "--log", ""}, "--log needs a file name"},
        {{"ports", "--data-dir", dir.filePath("missing")}, "is not a folder"},
    };
    for (const auto& c : cases) {
        const CliRun run = RunCliWith(c.arguments);
        EXPECT_EQ(run.exit, CliExit::Usage) << qPrintable(Joined(c.arguments));
        EXPECT_TRUE(run.out.isEmpty()) << qPrintable(Joined(c.arguments));
        EXPECT_EQ(run.err.count(u'\n'), 1) << qPrintable(run.err);
        EXPECT_TRUE(run.err.startsWith("quarventa-cli: ")) << qPrintable(run.err);
        EXPECT_TRUE(run.err.contains(QLatin1String(c.saying)))
            << qPrintable(Joined(c.arguments)) << " said: " << qPrintable(run.err);
    }
}

// The subcommands that talk to a unit take their arguments and options into
// one request; every subcommand is built into the program.
TEST(CliCommandLine, unitSubcommands_parseTheirArgumentsAndOptionsIntoARequest) {
    const QStringList valid[] = {
        {"info"},
        {"info", "--port", "/dev/ttyUSB0", "--json", "--timeout", "2.5"},
        {"backup", "unit.QCF"},
        {"backup", "--json", "unit.qvt"},
        {"diff", "baseline.QCF"},
        {"diff", "baseline.qvt"},
        {"get", "MINVBATT", "RPMLIMIT"},
        {"set", "MINVBATT=11.5", "rpmlimit=12000", "--yes"},
        {"restore", "bike.QSQ"},
        {"monitor", "--seconds", "10", "--record", "ride.csv"},
        {"flash", "FW/gcu.hex"},
    };
    for (const QStringList& arguments : valid) {
        const CliParse parse = ParseCliCommandLine(QStringList{"quarventa-cli"} + arguments);
        ASSERT_TRUE(parse.request) << qPrintable(Joined(arguments) + ": " + parse.error);
        EXPECT_EQ(QLatin1String(parse.request->subcommand->name), arguments.first());
        EXPECT_TRUE(parse.error.isEmpty());
    }
    for (const CliSubcommand& s : Subcommands())
        EXPECT_TRUE(s.available) << s.name;
}

TEST(CliCommandLine, helpAndVersion_printOnStandardOutputAndExit0) {
    const CliRun version = RunCliWith({"--version"});
    EXPECT_EQ(version.exit, CliExit::Done);
    EXPECT_TRUE(
        QRegularExpression("^quarventa-cli \\d+\\.\\d+\\.\\d+\\n$").match(version.out).hasMatch())
        << qPrintable(version.out);

    const CliRun help = RunCliWith({"--help"});
    EXPECT_EQ(help.exit, CliExit::Done);
    EXPECT_TRUE(help.err.isEmpty());
    for (const CliSubcommand& s : Subcommands())
        EXPECT_TRUE(help.out.contains(QStringLiteral("  ") + QLatin1String(s.name))) << s.name;
    for (const char* option :
         {"--port", "--json", "--yes", "--data-dir", "--log", "--timeout", "--seconds"})
        EXPECT_TRUE(help.out.contains(QLatin1String(option))) << option;
    EXPECT_TRUE(help.out.contains("5 written but not verified."));

    // A subcommand's help names its arguments and only the options it takes.
    const CliRun set = RunCliWith({"set", "--help"});
    EXPECT_EQ(set.exit, CliExit::Done);
    EXPECT_TRUE(set.out.contains("set WORD=VALUE...")) << qPrintable(set.out);
    EXPECT_FALSE(set.out.contains("--record"));
    EXPECT_TRUE(RunCliWith({"monitor", "-h"}).out.contains("--record"));
}

// The completion is written by hand: it has to name what the program parses.
TEST(CliCommandLine, bashCompletion_namesEverySubcommandAndOption) {
    QFile file(QStringLiteral(QV_SOURCE_DIR "/packaging/quarventa-cli.bash"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(file.readAll());
    const auto listed = [&script](const char* variable) {
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("local %1=\"([^\"]*)\"").arg(variable)).match(script);
        EXPECT_TRUE(match.hasMatch()) << variable;
        const QStringList words = match.captured(1).split(u' ', Qt::SkipEmptyParts);
        return QSet<QString>(words.begin(), words.end());
    };

    QSet<QString> subcommands;
    for (const CliSubcommand& s : Subcommands())
        subcommands.insert(QLatin1String(s.name));
    EXPECT_EQ(listed("subcommands"), subcommands);

    QSet<QString> options;
    const QString help = RunCliWith({"--help"}).out;
    QRegularExpressionMatchIterator it = QRegularExpression("(--[a-z-]+)").globalMatch(help);
    while (it.hasNext())
        options.insert(it.next().captured(1));
    QSet<QString> completed = listed("options");
    completed += {"--seconds", "--record"}; // offered after "monitor"
    EXPECT_EQ(completed, options);
}
