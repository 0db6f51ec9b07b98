// gcu-sim: a virtual GCU on a pseudo-terminal. Prints the port's path, then
// runs until SIGINT or SIGTERM. SIGUSR1 hangs the port up as an unplugged
// adapter would; SIGUSR2 plugs it in again.
#include "gcusim/GcuParameterSet.h"
#include "gcusim/GcuSimulator.h"
#include "util/Exceptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>
#include <iostream>

namespace {

struct OptionSpec {
    const char* name;
    const char* help;
    const char* valueName; // nullptr: a switch
};

const OptionSpec Specs[] = {
    {"commands", "Command table (default: CFG/Commands.CSV beside the program).", "file"},
    {"pcb", "PCB version sent in the dump (default 4.3).", "version"},
    {"firmware", "Firmware version announced, five characters (default 5.0.9).", "version"},
    {"firmware-after-update",
     "Firmware version announced once the flash was programmed (else the image's own).", "version"},
    {"reboots", "Reboot counter before the first open (over the state file's).", "n"},
    {"set",
     "Stored values over the state file's: word=value or id.N=value, comma-separated; "
     "may be repeated.",
     "key=value"},
    {"rate", "Status lines per second (default 20).", "n"},
    {"baud", "Line rate both directions are paced at; 0 = unpaced (default 115200).", "n"},
    {"boot-window", "Boot loader time after each open in ms (default 1000).", "ms"},
    {"link", "Publish the port as this symbolic link.", "path"},
    {"state", "State file for the stored parameters.", "file"},
    {"flash-out", "Write the programmed flash here (.hex: Intel HEX, else raw).", "file"},
    {"fault-silent", "Never answer.", nullptr},
    {"fault-pieces", "Answer in this many pieces.", "n"},
    {"fault-pause", "Pause between answer pieces in ms (default 50).", "ms"},
    {"fault-garbage", "Answer garbage.", nullptr},
    {"fault-hangup-after", "Hang up on receiving frame N.", "n"},
    {"fault-announce-twice", "Announce twice.", nullptr},
    {"fault-cut-status", "Stopping the status stream cuts its line short.", nullptr},
    {"fault-acknowledge", "Acknowledge every frame with OK before its answer.", nullptr},
    {"fault-dump-chatter", "Answer the dump request with fields without an end mark for ms.", "ms"},
    {"fault-dump-gap", "Send the dump in two pieces this many ms apart, cut inside a field.", "ms"},
    {"fault-dump-unanswered", "Never answer the dump request.", nullptr},
    {"fault-dump-no-end-mark", "Send the dump without its end mark.", nullptr},
    {"fault-dump-half", "Send only the first half of the dump, without a line end.", nullptr},
    {"fault-dump-field", "Send this text in the dump field of a command.", "id=text"},
    {"fault-idle-text", "Send this text unasked after the announcement (\\r, \\n, \\xHH).", "text"},
    {"fault-idle-noise", "Send random bytes for ms after the announcement.", "ms"},
    {"fault-hangup-on", "Hang up on receiving a frame of this command word.", "word"},
    {"fault-store-busy", "Storing takes ms; frames meanwhile are lost.", "ms"},
    {"fault-keep-old", "Answer writes of these command IDs but keep the old value.", "id,id"},
    {"fault-clamp", "Answer writes of a command but hold the value within limits.", "id=min..max"},
    {"verbose", "Trace the link on stderr.", nullptr},
};

int IntOption(const QCommandLineParser& parser, const char* name, int fallback) {
    if (!parser.isSet(name))
        return fallback;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("--%1 needs a whole number").arg(name));
    return value;
}

// "id=min..max"
GcuOwnLimits ParseClamp(const QString& text) {
    static const QRegularExpression shape(
        QStringLiteral(R"(^(\d+)=([-+]?[\d.]+)\.\.([-+]?[\d.]+)$)"));
    const auto match = shape.match(text.trimmed());
    const auto minimum = match.hasMatch() ? ParseGcuNumber(match.captured(2)) : std::nullopt;
    const auto maximum = match.hasMatch() ? ParseGcuNumber(match.captured(3)) : std::nullopt;
    if (!minimum || !maximum)
        throw EConvertError(QStringLiteral("--fault-clamp needs id=min..max, not ") + text);
    return {match.captured(1).toInt(), *minimum, *maximum};
}

// "id=text"
GcuDumpFieldText ParseDumpField(const QString& text) {
    const qsizetype equals = text.indexOf(u'=');
    bool ok = false;
    const int id = text.left(equals).trimmed().toInt(&ok);
    if (equals < 0 || !ok)
        throw EConvertError(QStringLiteral("--fault-dump-field needs id=text, not ") + text);
    return {id, text.mid(equals + 1).toLatin1()};
}

// The escapes a shell argument cannot easily carry: \r, \n, \\ and \xHH.
QByteArray Unescaped(const QString& text) {
    const QByteArray in = text.toLatin1();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\' || i + 1 >= in.size()) {
            out += in[i];
            continue;
        }
        const char next = in[++i];
        if (next == 'r')
            out += '\r';
        else if (next == 'n')
            out += '\n';
        else if (next == 'x' && i + 2 < in.size()) {
            out += char(in.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else
            out += next;
    }
    return out;
}

GcuSimulatorOptions ParseOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A virtual GCU on a pseudo-terminal. Prints the port's path; SIGUSR1 hangs the port up,\n"
        "SIGUSR2 plugs it in again, SIGINT or SIGTERM end the program.");
    parser.addHelpOption();
    for (const OptionSpec& s : Specs) {
        if (s.valueName)
            parser.addOption(QCommandLineOption(s.name, s.help, s.valueName));
        else
            parser.addOption(QCommandLineOption(s.name, s.help));
    }
    parser.process(app);

    GcuSimulatorOptions o;
    o.commandsFile = parser.isSet("commands")
                         ? parser.value("commands")
                         : QDir(app.applicationDirPath()).filePath("CFG/Commands.CSV");
    o.pcbVersion = parser.value("pcb").isEmpty() ? o.pcbVersion : parser.value("pcb");
    o.firmwareVersion =
        parser.value("firmware").isEmpty() ? o.firmwareVersion : parser.value("firmware");
    if (parser.isSet("rate")) {
        bool ok = false;
        o.statusLinesPerSecond = parser.value("rate").toDouble(&ok);
        if (!ok || o.statusLinesPerSecond < 0)
            throw EConvertError("--rate needs a number of lines per second");
    }
    o.firmwareAfterUpdate = parser.value("firmware-after-update");
    if (parser.isSet("reboots"))
        o.rebootCounter = IntOption(parser, "reboots", 0);
    for (const QString& values : parser.values("set"))
        for (const QString& value : values.split(',', Qt::SkipEmptyParts))
            o.storedValues << value.trimmed();
    o.baudRate = IntOption(parser, "baud", o.baudRate);
    o.bootWindowMs = IntOption(parser, "boot-window", o.bootWindowMs);
    o.linkPath = parser.value("link");
    o.stateFile = parser.value("state");
    o.flashOutFile = parser.value("flash-out");
    o.faults.neverAnswer = parser.isSet("fault-silent");
    o.faults.answerPieces = IntOption(parser, "fault-pieces", 1);
    o.faults.piecePauseMs = IntOption(parser, "fault-pause", 50);
    o.faults.garbageAnswers = parser.isSet("fault-garbage");
    o.faults.hangUpAfterFrames = IntOption(parser, "fault-hangup-after", 0);
    o.faults.announceTwice = parser.isSet("fault-announce-twice");
    o.faults.cutStatusLineOnStop = parser.isSet("fault-cut-status");
    o.faults.acknowledgeFrames = parser.isSet("fault-acknowledge");
    o.faults.dumpChatterMs = IntOption(parser, "fault-dump-chatter", 0);
    o.faults.dumpGapMs = IntOption(parser, "fault-dump-gap", 0);
    o.faults.dumpUnanswered = parser.isSet("fault-dump-unanswered");
    o.faults.dumpWithoutEndMark = parser.isSet("fault-dump-no-end-mark");
    o.faults.dumpHalfOnly = parser.isSet("fault-dump-half");
    for (const QString& field : parser.values("fault-dump-field"))
        o.faults.dumpFieldTexts.push_back(ParseDumpField(field));
    o.faults.idleText = Unescaped(parser.value("fault-idle-text"));
    o.faults.idleNoiseMs = IntOption(parser, "fault-idle-noise", 0);
    o.faults.hangUpOnWord = parser.value("fault-hangup-on");
    o.faults.storeBusyMs = IntOption(parser, "fault-store-busy", 0);
    for (const QString& id : parser.value("fault-keep-old").split(',', Qt::SkipEmptyParts)) {
        bool ok = false;
        o.faults.keepOldValueOf.push_back(id.trimmed().toInt(&ok));
        if (!ok)
            throw EConvertError("--fault-keep-old needs command IDs separated by commas");
    }
    for (const QString& clamp : parser.values("fault-clamp"))
        o.faults.clampTo.push_back(ParseClamp(clamp));
    if (parser.isSet("verbose"))
        o.log = [](const QString& text) { std::cerr << "gcu-sim: " << text.toStdString() << "\n"; };
    return o;
}

} // namespace

int main(int argc, char** argv) {
    // Blocked before any thread exists (Qt's included), so that every thread
    // inherits the mask and the signals reach sigwait only.
    sigset_t handledSignals;
    sigemptyset(&handledSignals);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) {
        // A shell starts background jobs with SIGINT ignored; an ignored
        // signal never reaches sigwait.
        std::signal(s, SIG_DFL);
        sigaddset(&handledSignals, s);
    }
    pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);
    QCoreApplication app(argc, argv);

    try {
        GcuSimulator simulator(ParseOptions(app));
        const QString port = simulator.start();
        std::cout << port.toStdString() << std::endl;
        for (;;) {
            int received = 0;
            sigwait(&handledSignals, &received);
            if (received == SIGUSR1)
                simulator.HangUp();
            else if (received == SIGUSR2)
                simulator.Replug();
            else
                break;
        }
        simulator.stop();
    } catch (const QvException& e) {
        std::cerr << "gcu-sim: " << e.Message().toStdString() << std::endl;
        return 1;
    }
    return 0;
}
