#include "cli/CliUnitCommands.h"

#include "cli/CliUnit.h"
#include "device/FirmwareUpdate.h"
#include "device/LiveTelemetry.h"
#include "device/StoreReadBack.h"
#include "model/ConfigComparison.h"
#include "model/ConfigText.h"
#include "model/LiveSession.h"
#include "model/ParameterLimits.h"
#include "model/RecordFiles.h"
#include "model/ShiftDetector.h"
#include "translation/MessageNumbers.h"
#include "util/Exceptions.h"
#include "util/ProgramPaths.h"
#include "util/UnitUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <atomic>
#include <csignal>
#include <unistd.h>

namespace {

QString Json(const QJsonObject& object, bool compact = false) {
    return QString::fromUtf8(
        QJsonDocument(object).toJson(compact ? QJsonDocument::Compact : QJsonDocument::Indented));
}

// ---------------------------------------------------------------- asking first

// A write asks on a terminal unless --yes was given; without a terminal it
// is refused before anything is opened.
bool MayAsk(const CliRequest& request) {
    return request.yes || ::isatty(STDIN_FILENO);
}

bool Confirmed(const CliRequest& request, QTextStream& err, const QString& question) {
    if (request.yes)
        return true;
    err << question;
    err.flush();
    QTextStream in(stdin);
    const QString answer = in.readLine().trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

// ---------------------------------------------------------------- values

// The unit's values beside a set's (absent: the unit alone), as the
// restore-point comparison shows them.
Comparison CompareWithUnit(CliUnit& unit, const std::optional<ComparedColumn>& chosen) {
    UnitSession& session = unit.Session();
    return CompareParameterSets(session.Commands(), session.PCBVersion(), unit.UnitRpmFactor(),
                                ColumnOfUnit(session.Commands(), session.Unit()->values),
                                std::nullopt, chosen);
}

// A file's values as the loading rules take them: a configuration file
// (*.QCF), a configuration text (*.qvt) or a sequence file (*.QSQ). What the
// rules leave out is listed; the working copy is left as it was.
struct FileValues {
    QVector<TakenValue> values; // one per command, the file's last
    QVector<LeftOutRecord> leftOut;
};

FileValues ReadThroughLoadingRules(CliUnit& unit, const QString& fileName) {
    UnitSession& session = unit.Session();
    FileValues read;
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.compare(QLatin1String("QSQ"), Qt::CaseInsensitive) == 0) {
        const SequenceLoadResult result =
            LoadSequenceFile(session.Rules(), fileName, unit.BoundControls(),
                             [](const ReplaceQuestion&) { return ReplaceAnswer::YesToAll; });
        read.leftOut = result.leftOut;
    } else {
        session.Working().ReplacingSequence([&] {
            const ConfigLoadResult result =
                IsConfigTextFile(fileName)
                    ? LoadConfigurationTextFile(session.Rules(), fileName, session.PCBVersion(),
                                                unit.BoundControls())
                    : LoadConfigurationFile(session.Rules(), fileName, session.PCBVersion(),
                                            unit.BoundControls());
            read.leftOut = result.leftOut;
        });
    }
    QMap<int, TakenValue> byId;
    const ChangeSequence& sequence = session.Sequence();
    for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i)
        if (sequence[i].Status == StatusLetter::Loaded)
            byId.insert(
                sequence[i].CommandID,
                TakenValue{sequence[i].CommandID, sequence[i].Command, sequence[i].ActualValueFW});
    read.values = byId.values().toVector();
    session.Working().EraseAll();
    return read;
}

ComparedColumn ColumnOfTaken(const CommandTable& table, const QVector<TakenValue>& values) {
    ComparedColumn column;
    for (const TakenValue& value : values)
        column.insert(value.id,
                      ComparedValue{value.fw, value.command, table[value.id].DigitsValueFW});
    return column;
}

// Reading a file the program cannot take: the reason, nothing written.
CliExit FileNotRead(CliUnit& unit, const QvException& error) {
    unit.Say(error.Phrase() ? EnglishText(*error.Phrase()) : error.Message());
    return CliExit::Refused;
}

// ---------------------------------------------------------------- transmitting

// The pending changes as "WORD=value" in display units, as they will be sent.
QStringList PendingChanges(UnitSession& session) {
    QStringList changes;
    const ChangeSequence& sequence = session.Sequence();
    for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i) {
        const TSequenceRecord& entry = sequence[i];
        if (entry.Status != StatusLetter::Modified && entry.Status != StatusLetter::Loaded)
            continue;
        changes << entry.Command + u'=' +
                       StrCommaToDot(
                           ShownTextOf(session.Commands()[entry.CommandID], entry.ActualValueSW));
    }
    return changes;
}

QString RefusalText(const LimitRefusal& refusal) {
    const QString unit = refusal.unit.isEmpty() ? QString() : u' ' + refusal.unit;
    const auto number = [&](double value) {
        return StrCommaToDot(RefusalNumberText(value, refusal.digits));
    };
    return u'[' + refusal.command + QStringLiteral("] ") + CliText(Msg::RefusedValueIs) +
           number(refusal.value) + unit + QStringLiteral(", ") + CliText(Msg::RefusedLimitsAre) +
           number(refusal.minimum) + QStringLiteral(" .. ") + number(refusal.maximum) + unit;
}

// Confirms, transmits every pending change, stores, reads back and says what
// came of it. Verified is the only outcome that is "done".
CliExit TransmitPending(CliUnit& unit, const CliRequest& request, QTextStream& out) {
    UnitSession& session = unit.Session();
    const QStringList changes = PendingChanges(session);
    if (changes.isEmpty()) {
        unit.Say(CliText(Msg::CliAlreadyHeld));
        return CliExit::Done;
    }
    if (!Confirmed(request, unit.Err(),
                   CliText(Msg::CliConfirmWrite).arg(changes.size()).arg(unit.Port())))
        return CliExit::Refused;

    TransmitOutcome outcome;
    {
        UnitSession::Request scope(session);
        outcome = session.Transmit(true);
    }
    using Stop = TransmitOutcome::Stop;
    using Check = TransmitOutcome::Check;
    const bool written = outcome.answered > 0 || outcome.storeSent;
    const QString notVerified = CliText(Msg::ReadBackNotVerified);
    if (outcome.stop == Stop::NothingToSend) {
        unit.Say(CliText(Msg::CliAlreadyHeld));
        return CliExit::Done;
    }
    if (outcome.stop == Stop::Refused && outcome.refused) {
        unit.Say(CliText(Msg::CliNothingSentRefused) + RefusalText(outcome.refused->refusal));
        return written ? CliExit::NotVerified : CliExit::Refused;
    }
    switch (outcome.check) {
    case Check::Verified: {
        if (request.json) {
            QJsonArray sent;
            for (const QString& change : changes)
                sent.append(change);
            out << Json({{QStringLiteral("sent"), sent}, {QStringLiteral("verified"), true}});
        } else {
            out << CliText(Msg::CliSent) << changes.join(QStringLiteral(", ")) << '\n';
            out << CliText(Msg::ReadBackAllHeld) << '\n';
        }
        return CliExit::Done;
    }
    case Check::NotHeld: {
        const QStringList lines =
            MismatchLines(outcome.mismatches, session.Commands(), session.RPMFactor(),
                          CliText(Msg::ReadBackMissing), true);
        unit.Say(CliText(Msg::ReadBackNotHeld).trimmed() + u' ' + lines.join(QStringLiteral("; ")));
        if (request.json)
            out << Json({{QStringLiteral("verified"), false},
                         {QStringLiteral("notHeld"), QJsonArray::fromStringList(lines)}});
        return CliExit::NotVerified;
    }
    case Check::Failed: {
        QString failure = CliText(MessageOfWaitResult(outcome.readBack.wait));
        if (!outcome.readBack.malformed.isEmpty())
            failure =
                CliText(Msg::MalformedConfiguration) + u' ' +
                (outcome.readBack.malformedPhrase ? EnglishText(*outcome.readBack.malformedPhrase)
                                                  : outcome.readBack.malformed);
        unit.Say(failure.trimmed() + u' ' + notVerified);
        return CliExit::NotVerified;
    }
    case Check::NotRun:
        break;
    }
    if (outcome.stop == Stop::LinkLost || outcome.linkLostAtStore) {
        unit.Say(CliText(Msg::LinkLost).trimmed() + u' ' + notVerified);
        return outcome.storeSent ? CliExit::NotVerified : CliExit::NoUnit;
    }
    unit.Say(CliText(Msg::NoAnswer).trimmed() + u' ' + notVerified);
    return outcome.storeSent ? CliExit::NotVerified : CliExit::NoUnit;
}

// ---------------------------------------------------------------- the subcommands

CliExit Info(CliUnit& unit, const CliRequest& request, QTextStream& out) {
    const UnitReading& reading = *unit.Session().Unit();
    const CliUnitName named = unit.Recognise();
    QString name = named.name;
    if (!named.recognised) {
        name = CliText(Msg::CliUnknownUnit);
        if (!named.candidates.isEmpty())
            name += QStringLiteral(" (") + named.candidates.join(QStringLiteral(", ")) + u')';
    }
    const QString firmware = unit.Session().AnnouncedFirmware().isEmpty()
                                 ? reading.firmware
                                 : unit.Session().AnnouncedFirmware();
    const QStringList announcement = unit.Link().AnnouncementLines();
    if (request.json) {
        out << Json({{QStringLiteral("port"), unit.Port()},
                     {QStringLiteral("announcement"), QJsonArray::fromStringList(announcement)},
                     {QStringLiteral("firmware"), firmware},
                     {QStringLiteral("pcb"), reading.pcbText},
                     {QStringLiteral("reboots"), reading.reboots},
                     {QStringLiteral("unit"), named.recognised ? named.name : QString()},
                     {QStringLiteral("unitKey"), named.key},
                     {QStringLiteral("candidates"), QJsonArray::fromStringList(named.candidates)}});
        return CliExit::Done;
    }
    QStringList labels = CliText(Msg::CliInfoLabels).split(u'|');
    while (labels.size() < 6)
        labels << QString();
    const QStringList values = {unit.Port(),     announcement.join(QStringLiteral(" / ")), firmware,
                                reading.pcbText, QString::number(reading.reboots),         name};
    qsizetype width = 0;
    for (const QString& label : labels)
        width = std::max(width, label.size());
    for (int i = 0; i < 6; ++i)
        out << (labels[i] + u':').leftJustified(width + 2) << values[i] << '\n';
    return CliExit::Done;
}

CliExit Backup(CliUnit& unit, const CliRequest& request, QTextStream& out) {
    UnitSession& session = unit.Session();
    const QString fileName = request.arguments.first();
    const UnitReading& reading = *session.Unit();
    int written = 0;
    try {
        if (IsConfigTextFile(fileName)) {
            ConfigTextHeader header;
            header.unitName = unit.UnitNameForHeader();
            header.firmware = reading.firmware;
            header.pcbVersion = reading.pcbText;
            header.reboots = reading.reboots;
            written =
                SaveConfigTextFile(fileName, session.Commands(), session.PCBVersion(), header);
        } else {
            written = SaveConfigFile(fileName, session.Commands(), session.PCBVersion());
        }
    } catch (const QvException& error) {
        return FileNotRead(unit, error);
    }
    if (request.json)
        out << Json({{QStringLiteral("file"), fileName}, {QStringLiteral("values"), written}});
    else
        out << CliText(Msg::ConfigSaved) << fileName << '\n';
    return CliExit::Done;
}

CliExit Diff(CliUnit& unit, const CliRequest& request, QTextStream& out) {
    FileValues file;
    try {
        file = ReadThroughLoadingRules(unit, request.arguments.first());
    } catch (const QvException& error) {
        return FileNotRead(unit, error);
    }
    for (const QString& line : LeftOutRecordLines(file.leftOut))
        unit.Say(line);
    const Comparison comparison =
        CompareWithUnit(unit, ColumnOfTaken(unit.Commands(), file.values));
    constexpr int Unit = int(CompareColumn::Unit);
    constexpr int Chosen = int(CompareColumn::Chosen);
    QJsonArray rows;
    int differing = 0;
    for (const ComparisonRow& row : comparison.rows) {
        // A file may hold only some values (a patch): what it lacks is no difference.
        if (!row.fw[Chosen] || !row.unitVsChosen)
            continue;
        ++differing;
        const QString unitText = StrCommaToDot(row.text[Unit]);
        const QString fileText = StrCommaToDot(row.text[Chosen]);
        if (request.json)
            rows.append(QJsonObject{{QStringLiteral("word"), row.command},
                                    {QStringLiteral("description"), row.description},
                                    {QStringLiteral("unit"), unitText},
                                    {QStringLiteral("file"), fileText}});
        else
            out << row.command << '\t' << row.description << '\t' << unitText << '\t' << fileText
                << '\n';
    }
    if (request.json)
        out << Json({{QStringLiteral("file"), request.arguments.first()},
                     {QStringLiteral("differences"), rows},
                     {QStringLiteral("leftOut"),
                      QJsonArray::fromStringList(LeftOutRecordLines(file.leftOut))}});
    unit.Say(differing == 0 ? CliText(Msg::CliFileHeld)
                            : CliText(Msg::CliValuesDiffer).arg(differing));
    return differing == 0 ? CliExit::Done : CliExit::Differences;
}

CliExit Get(CliUnit& unit, const CliRequest& request, QTextStream& out) {
    const Comparison comparison = CompareWithUnit(unit, std::nullopt);
    constexpr int Unit = int(CompareColumn::Unit);
    QJsonArray values;
    QStringList lines;
    for (const QString& word : request.arguments) {
        const auto row = std::find_if(
            comparison.rows.begin(), comparison.rows.end(), [&](const ComparisonRow& r) {
                return r.command.compare(word, Qt::CaseInsensitive) == 0 && r.fw[Unit];
            });
        if (row == comparison.rows.end()) {
            unit.Say(CliText(Msg::CliUnknownWord) + word);
            return CliExit::Refused;
        }
        const TCommandRecord& command = unit.Commands()[row->id];
        const QString text = StrCommaToDot(row->text[Unit]);
        values.append(QJsonObject{{QStringLiteral("word"), row->command},
                                  {QStringLiteral("description"), row->description},
                                  {QStringLiteral("value"), text.toDouble()},
                                  {QStringLiteral("text"), text},
                                  {QStringLiteral("unit"), command.MeasureUnitSW}});
        lines << row->command + QStringLiteral(" = ") + text;
    }
    if (request.json)
        out << Json({{QStringLiteral("values"), values}});
    else
        for (const QString& line : lines)
            out << line << '\n';
    return CliExit::Done;
}

// The arguments as the lines of a configuration text, one per argument.
QString SetArgumentsText(const QStringList& arguments) {
    QString text;
    for (const QString& argument : arguments) {
        const qsizetype equals = argument.indexOf(u'=');
        text += argument.left(equals).trimmed() + QStringLiteral(" = ") +
                argument.mid(equals + 1).trimmed() + u'\n';
    }
    return text;
}

// The values left out, each with the argument that gave it; nothing is sent.
CliExit RefuseArguments(CliUnit& unit, const QStringList& arguments,
                        const QVector<LeftOutRecord>& leftOut) {
    for (const LeftOutRecord& record : leftOut) {
        const QString argument = record.recordNumber >= 1 && record.recordNumber <= arguments.size()
                                     ? arguments[record.recordNumber - 1]
                                     : QString();
        unit.Say(CliText(Msg::CliNothingSentRefused) + argument + QStringLiteral(" (") +
                 EnglishText(LeftOutRecordPhrase(record)) + u')');
    }
    return CliExit::Refused;
}

CliExit Set(CliUnit& unit, const CliRequest& request, QTextStream& out) {
    UnitSession& session = unit.Session();
    // Every value through the loading rules of a configuration: words, numbers,
    // limits, choices and the GCU's own forms of a value; one refused, none sent.
    const ConfigTextRecords text =
        ParseConfigText(SetArgumentsText(request.arguments), session.Commands());
    ConfigLoadResult loaded;
    session.Working().ReplacingSequence([&] {
        loaded = LoadConfigurationText(session.Rules(), text, session.PCBVersion(),
                                       unit.BoundControls());
    });
    if (!loaded.leftOut.isEmpty()) {
        session.Working().EraseAll();
        return RefuseArguments(unit, request.arguments, loaded.leftOut);
    }
    // A word of a parameter this unit's PCB lacks is taken by no entry.
    if (loaded.taken < request.arguments.size()) {
        const QStringList pending = PendingChanges(session);
        session.Working().EraseAll();
        for (const QString& argument : request.arguments) {
            const QString word = argument.left(argument.indexOf(u'=')).trimmed();
            if (std::none_of(pending.begin(), pending.end(), [&](const QString& change) {
                    return change.startsWith(word + u'=', Qt::CaseInsensitive);
                }))
                unit.Say(CliText(Msg::CliNothingSentRefused) + argument);
        }
        return CliExit::Refused;
    }
    // A value the GCU holds only in steps (RPM values at the RPM factor) is
    // sent as given or not at all: nothing is moved to a step behind the
    // user's back.
    const ChangeSequence& sequence = session.Sequence();
    for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i) {
        const TSequenceRecord& entry = sequence[i];
        const TCommandRecord& row = session.Commands()[entry.CommandID];
        const double shown = ShownValueOf(row, entry.ActualValueSW);
        const double held = HeldDisplayValueOf(session.Commands(), entry.CommandID, shown,
                                               session.Working().TargetRpmFactor());
        if (!std::isfinite(held) || ShownTextOf(row, held) == ShownTextOf(row, shown))
            continue;
        const QString given = StrCommaToDot(ShownTextOf(row, shown));
        const QString kept = StrCommaToDot(ShownTextOf(row, held));
        session.Working().EraseAll();
        unit.Say(CliText(Msg::CliNothingSentRefused) + row.Command + u'=' + given +
                 QStringLiteral(" (") + CliText(Msg::NoticeGcuStep).arg(row.Command, given, kept) +
                 u')');
        return CliExit::Refused;
    }
    // As "Apply Config.": each value an edit of its control, with what the
    // rules make follow from it (ratios and limits, coupled timings, RPM values).
    session.Working().ApplyLoadedEntries();
    session.Working().TakeNotices();
    return TransmitPending(unit, request, out);
}

CliExit Restore(CliUnit& unit, const CliRequest& request, QTextStream& out) {
    UnitSession& session = unit.Session();
    FileValues file;
    try {
        file = ReadThroughLoadingRules(unit, request.arguments.first());
    } catch (const QvException& error) {
        return FileNotRead(unit, error);
    }
    if (!file.leftOut.isEmpty()) {
        for (const QString& line : LeftOutRecordLines(file.leftOut))
            unit.Say(CliText(Msg::CliNothingSentRefused) + line);
        return CliExit::Refused;
    }
    const QVector<TakenValue> fileValues = file.values;
    const CommandTable& table = session.Commands();
    const Comparison comparison = CompareParameterSets(
        table, session.PCBVersion(), unit.UnitRpmFactor(),
        ColumnOfUnit(table, session.Unit()->values), ColumnOfWorkingCopy(table, session.Sequence()),
        ColumnOfTaken(table, fileValues));
    const QVector<int> rows = RowsToRestore(comparison);
    if (rows.isEmpty()) {
        unit.Say(CliText(Msg::CliAlreadyHeld));
        return CliExit::Done;
    }
    // A value comes with the values it only makes sense with, from the same
    // file. Values the file lacks follow from those it holds as the pages
    // compute them; those it holds are sent as it holds them.
    QVector<TakenValue> values = ValuesToTake(
        comparison, RowsWithCoupledGroups(comparison, table, rows), CompareColumn::Chosen);
    TakenCheck check = CheckTakenValues(session.Working(), values);
    QStringList asFileHolds;
    QVector<FollowingValue> following;
    for (const FollowingValue& value : check.following) {
        const bool inFile = std::any_of(fileValues.begin(), fileValues.end(),
                                        [&](const TakenValue& v) { return v.id == value.id; });
        if (inFile)
            asFileHolds << table[value.id].Command;
        else
            following << value;
    }
    check.following = following;
    values = WithFollowingValues(table, values, check);
    const SequenceLoadResult taken = TakeIntoSequence(
        session.Rules(), values, session.Working().TargetRpmFactor(), unit.BoundControls());
    session.Working().Reconcile();
    if (!taken.leftOut.isEmpty()) {
        session.Working().EraseAll();
        for (const QString& line : LeftOutRecordLines(taken.leftOut))
            unit.Say(CliText(Msg::CliNothingSentRefused) + line);
        return CliExit::Refused;
    }
    if (!asFileHolds.isEmpty())
        unit.Say(CliText(Msg::CliSentAsFileHolds) + asFileHolds.join(QStringLiteral(", ")));
    return TransmitPending(unit, request, out);
}

// ---------------------------------------------------------------- monitor

std::atomic<bool> interrupted{false};
extern "C" void OnInterrupt(int) {
    interrupted = true;
}

QString SampleText(const LiveSample& sample, bool json) {
    QJsonObject object;
    QStringList parts;
    for (const LiveField& field : LiveFields()) {
        const double value = sample[field.id];
        if (std::isnan(value))
            continue;
        const QString text = RealToStrDec(value, field.decimals);
        object.insert(QLatin1String(field.key), value);
        parts << QLatin1String(field.key) + u'=' + StrCommaToDot(text) +
                     QString::fromUtf8(field.unit);
    }
    return json ? Json(object, true).trimmed() : parts.join(u' ');
}

CliExit Monitor(CliUnit& unit, const CliRequest& request, QTextStream& out) {
    UnitSession& session = unit.Session();
    LiveSession& live = session.Live();
    std::optional<LiveSample> latest;
    long lines = 0;
    const LiveBarRanges ranges = ActiveLiveRanges(session.Commands());
    unit.Link().liveLine = [&](const QString& line, SteadyTime arrived) {
        const LiveParse parse = session.TakeLiveLine(line, arrived, ranges);
        if (!parse.sample)
            return;
        latest = parse.sample;
        ++lines;
    };
    if (!request.recordFile.isEmpty()) {
        try {
            live.StartRecording(request.recordFile);
        } catch (const QvException& error) {
            return FileNotRead(unit, error);
        }
    }
    session.Exchange().SwitchLive(true);
    session.LiveSwitched(true);

    interrupted = false;
    const auto previous = std::signal(SIGINT, OnInterrupt);
    const auto previousTerm = std::signal(SIGTERM, OnInterrupt);
    const int seconds = request.seconds.value_or(0);
    long printed = 0;
    for (int second = 0; (seconds == 0 || second < seconds) && !interrupted; ++second) {
        unit.Link().RunFor(std::chrono::seconds(1), [] { return interrupted.load(); });
        if (!unit.Link().IsOpen())
            break;
        if (latest && lines != printed && request.recordFile.isEmpty()) {
            out << SampleText(*latest, request.json) << '\n';
            out.flush();
        }
        printed = lines;
    }
    std::signal(SIGINT, previous);
    std::signal(SIGTERM, previousTerm);

    const bool lost = !unit.Link().IsOpen();
    if (!lost) {
        session.Exchange().SwitchLive(false);
        session.LiveSwitched(false);
    }
    CliExit exit = CliExit::Done;
    if (!request.recordFile.isEmpty()) {
        const bool written = live.StopRecording(
            QString::fromLatin1(lost ? LiveCsv::EndLinkLost : LiveCsv::EndStopped));
        if (!written) {
            unit.Say(CliText(Msg::LivePlotsWriteFailed) + live.Recorder().Error());
            exit = CliExit::NotVerified;
        } else {
            unit.Say(CliText(Msg::LivePlotsRecordingTo) + request.recordFile);
        }
    }
    if (lines == 0) {
        unit.Say(CliText(Msg::CliNoLiveValues));
        return CliExit::NoUnit;
    }
    if (lost) {
        unit.Say(CliText(Msg::LinkLost));
        return CliExit::NoUnit;
    }
    return exit;
}

// ---------------------------------------------------------------- flash

CliExit Flash(CliUnit& unit, const CliRequest& request, QTextStream& out, QTextStream& err) {
    UnitSession& session = unit.Session();
    const QString image = QFileInfo(request.arguments.first()).absoluteFilePath();
    FirmwareUpdateSettings settings;
    settings.programFolder = DataFolder();
    FirmwareUpdateHooks hooks;
    hooks.confirmUpdate = [&](const QString& imagePath) {
        return Confirmed(request, err,
                         CliText(Msg::FirmwareConfirmBefore) + imagePath +
                             CliText(Msg::FirmwareConfirmAfter) + CliText(Msg::CliYesNo));
    };
    hooks.showFirmwarePage = [] {};
    hooks.hideFirmwarePage = [] {};
    // The unit's settings are kept in a restore point first, while the link is open.
    hooks.closeLink = [&] {
        unit.Keeper().BeforeFirmwareUpdate();
        unit.Link().Close();
        session.ForgetAnnouncedFirmware();
    };
    hooks.reopenLink = [&](const QString& portName) {
        try {
            unit.Link().Open(portName);
        } catch (const QvException& error) {
            unit.Say(CliText(Msg::CliPortNotOpened) + portName + QStringLiteral(": ") +
                     error.Message());
        }
    };
    hooks.showProgress = [&](const QString& chunk) {
        err << chunk;
        err.flush();
    };
    hooks.setBusy = [](bool) {};
    FirmwareFailure failed;
    int failureMessage = 0;
    hooks.showMessage = [&](int messageNumber, const FirmwareFailure& failure) {
        failureMessage = messageNumber;
        failed = failure;
        QStringList detail;
        if (failure.exitCode)
            detail << QString::number(*failure.exitCode);
        if (failure.reason)
            detail << EnglishText(*failure.reason);
        detail << failure.programmerLines;
        unit.Say(CliText(messageNumber).trimmed() + u' ' + detail.join(QStringLiteral("; ")));
    };
    hooks.announcedVersion = [&] { return session.AnnouncedFirmware(); };
    hooks.awaitAnnouncedVersion = [&] {
        unit.Link().AwaitAnnouncement(std::chrono::seconds(15));
        return session.AnnouncedFirmware();
    };
    std::optional<FirmwareUpdateResult> result;
    hooks.showSuccess = [&](const FirmwareUpdateResult& done) { result = done; };

    FirmwareUpdater updater(settings, hooks);
    FirmwareUpdateOutcome outcome = FirmwareUpdateOutcome::Failed;
    try {
        outcome = updater.Run(image, unit.Port());
    } catch (const QvException& error) {
        unit.Say(error.Phrase() ? EnglishText(*error.Phrase()) : error.Message());
        return CliExit::NotVerified;
    }
    switch (outcome) {
    case FirmwareUpdateOutcome::ImageRefused:
    case FirmwareUpdateOutcome::Cancelled:
        return CliExit::Refused;
    case FirmwareUpdateOutcome::ProgrammerMissing:
        return CliExit::Usage;
    case FirmwareUpdateOutcome::AlreadyRunning:
    case FirmwareUpdateOutcome::Failed:
        return CliExit::NotVerified;
    case FirmwareUpdateOutcome::Updated:
        break;
    }
    if (!result)
        return CliExit::NotVerified;
    // Read once more on the reopened link: the unit stays the unit known by
    // name that was updated, now with its new firmware.
    if (unit.Link().IsOpen()) {
        UnitSession::Request scope(session);
        session.ReadSilently();
    }
    QStringList lines{CliText(Msg::FirmwareUpdated)};
    lines << (result->bytesWritten ? CliText(Msg::FirmwareBytesWritten).arg(*result->bytesWritten)
                                   : CliText(Msg::FirmwareBytesNotReported));
    lines << (result->bytesVerified
                  ? CliText(Msg::FirmwareBytesVerified).arg(*result->bytesVerified)
                  : CliText(Msg::FirmwareNotVerified));
    const QString before = result->versionBefore.isEmpty() ? CliText(Msg::FirmwareVersionUnknown)
                                                           : result->versionBefore;
    lines << (result->versionAfter.isEmpty()
                  ? CliText(Msg::FirmwareVersionBeforeOnly).arg(before)
                  : CliText(Msg::FirmwareVersionBeforeAfter).arg(before, result->versionAfter));
    if (request.json)
        out << Json({{QStringLiteral("updated"), true},
                     {QStringLiteral("verified"), bool(result->bytesVerified)},
                     {QStringLiteral("before"), result->versionBefore},
                     {QStringLiteral("after"), result->versionAfter}});
    else
        for (const QString& line : lines)
            out << line << '\n';
    // What the programmer did not verify, or a unit that did not come back, is no success.
    return result->bytesVerified && !result->versionAfter.isEmpty() ? CliExit::Done
                                                                    : CliExit::NotVerified;
}

} // namespace

CliExit RunUnitSubcommand(const CliRequest& request, QTextStream& out, QTextStream& err) {
    const QString name = QLatin1String(request.subcommand->name);
    CliUnit unit(request, err);
    if (request.subcommand->writes && !MayAsk(request)) {
        unit.Say(CliText(Msg::CliWriteNeedsYes));
        return CliExit::Usage;
    }
    if (!unit.LoadCommandTable())
        return CliExit::Usage;
    if (name == QLatin1String("set")) {
        // Words and numbers are checked before the unit is asked anything.
        const ConfigTextRecords text =
            ParseConfigText(SetArgumentsText(request.arguments), unit.Commands());
        if (!text.leftOut.isEmpty())
            return RefuseArguments(unit, request.arguments, text.leftOut);
    }
    if (name == QLatin1String("get")) {
        for (const QString& word : request.arguments) {
            bool known = false;
            for (int id = 1; id <= CommandCount && !known; ++id)
                known = unit.Commands()[id].Command.compare(word, Qt::CaseInsensitive) == 0;
            if (!known) {
                unit.Say(CliText(Msg::CliUnknownWord) + word);
                return CliExit::Refused;
            }
        }
    }
    if (name == QLatin1String("restore") || name == QLatin1String("diff") ||
        name == QLatin1String("flash")) {
        QFile file(request.arguments.first());
        if (!file.open(QIODevice::ReadOnly)) {
            unit.Say(EnglishText(
                DetailPhrase{Msg::PhraseFileCannotOpen, {file.fileName(), file.errorString()}}));
            return CliExit::Refused;
        }
    }
    CliExit exit = unit.Connect();
    if (exit != CliExit::Done)
        return exit;
    // Read first: the unit is known by name before anything is written to it.
    exit = unit.Download();
    if (exit != CliExit::Done)
        return exit;
    if (name == QLatin1String("flash"))
        return Flash(unit, request, out, err);
    if (name == QLatin1String("info"))
        return Info(unit, request, out);
    if (name == QLatin1String("backup"))
        return Backup(unit, request, out);
    if (name == QLatin1String("diff"))
        return Diff(unit, request, out);
    if (name == QLatin1String("get"))
        return Get(unit, request, out);
    if (name == QLatin1String("set"))
        return Set(unit, request, out);
    if (name == QLatin1String("restore"))
        return Restore(unit, request, out);
    if (name == QLatin1String("monitor"))
        return Monitor(unit, request, out);
    return CliExit::Usage;
}
