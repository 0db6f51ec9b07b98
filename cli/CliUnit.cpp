#include "cli/CliUnit.h"

#include "cli/CliPorts.h"
#include "device/ConnectionRules.h"
#include "device/RestorePointPlaces.h"
#include "model/CommandTable.h"
#include "model/ConfigComparison.h"
#include "model/UnitRecognition.h"
#include "model/UnitRegistry.h"
#include "serial/SerialDevice.h"
#include "serial/SerialPort.h"
#include "translation/MessageNumbers.h"
#include "ui/Inventory.h"
#include "util/BuildInfo.h"
#include "util/DetailPhrase.h"
#include "util/Exceptions.h"
#include "util/ProgramPaths.h"
#include "util/StringGridModel.h"

#include <QDir>

namespace {
// The unit resets when its port opens and announces itself once its boot
// loader has waited; a unit that does not is still asked for its values.
constexpr std::chrono::milliseconds AnnouncementWait{5000};

std::chrono::milliseconds Milliseconds(double seconds) {
    return std::chrono::milliseconds(qRound64(seconds * 1000.0));
}
} // namespace

QString CliText(int messageNumber) {
    return BuiltInMessageText(messageNumber);
}

CliUnit::CliUnit(const CliRequest& request, QTextStream& err)
    : request_(request), err_(err), prefix_(QLatin1String(request.subcommand->name)),
      session_(view_) {
    session_.Waiter().SetBusyIndicator({});
    if (request.timeoutSeconds) {
        LinkExchange::Limits limits;
        limits.answer = limits.dump = limits.anyPiece = Milliseconds(*request.timeoutSeconds);
        session_.SetLimits(limits);
    }
    link_ = std::make_unique<SerialUnitLink>(session_);
    // Points are filed under the units known by name, as the window files them.
    RestorePointKeeper::Places places = UserRestorePointPlaces();
    places.userDataFolder = [] { return UserDataFolder(); };
    keeper_ = std::make_unique<RestorePointKeeper>(session_, places);
    QObject::connect(keeper_.get(), &RestorePointKeeper::failed,
                     [this](const DetailPhrase& reason) {
                         // Once a run: everything else goes on.
                         if (std::exchange(pointFailureSaid_, true))
                             return;
                         Say(CliText(Msg::RestorePointsNotWritten) + EnglishText(reason));
                     });
    // Where the points of a write went, once: a reading's point is kept silently.
    QObject::connect(keeper_.get(), &RestorePointKeeper::pointTaken, [this](const QString& folder) {
        if (request_.subcommand->writes && !pointFoldersSaid_.contains(folder)) {
            pointFoldersSaid_ << folder;
            Say(CliText(Msg::CliPointKept) + QDir::toNativeSeparators(folder));
        }
    });
}

CliUnit::~CliUnit() {
    link_->Close();
}

void CliUnit::Say(const QString& line) const {
    err_ << prefix_ << ": " << line << '\n';
    err_.flush();
}

bool CliUnit::LoadCommandTable() {
    const QString path = CommandsFilePath();
    StringGridModel grid(CommandsFileColumnCount, CommandCount + 1);
    CommandTable& table = session_.Commands();
    const std::optional<CommandsFileFault> fault = LoadCommandsFile(grid, table, path);
    if (fault || !HoldsAnyCommand(table)) {
        QString text = CliText(fault ? Msg::CommandTableUnusable : Msg::CommandTableHoldsNothing) +
                       QDir::toNativeSeparators(path);
        if (fault && fault->line > 0)
            text += u' ' + CliText(Msg::FileLine) + QString::number(fault->line);
        if (fault)
            text += QStringLiteral(": ") + fault->reason;
        Say(text);
        return false;
    }
    BindCommandsFromInventory(table);
    bound_ = InventoryBoundControls(table);
    session_.Working().ShowDefaults();
    return true;
}

CliExit CliUnit::Connect() {
    port_ = request_.port;
    if (port_.isEmpty()) {
        QStringList candidates;
        for (const ListedPort& listed : CurrentPortReport().ports)
            if (listed.looksLikeGcu)
                candidates << listed.port.path;
        if (candidates.isEmpty()) {
            Say(CliText(Msg::CliNoGcuPort));
            return CliExit::NoUnit;
        }
        if (candidates.size() > 1) {
            Say(CliText(Msg::CliSeveralGcuPorts) + candidates.join(QStringLiteral(", ")));
            return CliExit::Usage;
        }
        port_ = candidates.first();
    }
    try {
        if (!link_->Open(port_)) {
            Say(CliText(Msg::CliPortNotOpened) + port_);
            return CliExit::NoUnit;
        }
    } catch (const ESerialPortException& refused) {
        // The system's reason, then what can be done about it, as the window says it.
        const OpenAdvice::Advice advice = OpenAdvice::ForOpenError(
            refused.SystemError(), SerialDevice::DeviceGroup(port_.toLocal8Bit()),
            QLatin1String(BuildInfo::UdevRulePath));
        QString text =
            CliText(Msg::CliPortNotOpened) + port_ + QStringLiteral(": ") + refused.Message();
        if (advice.message != 0)
            text += u' ' + CliText(advice.message) + advice.appended;
        Say(text.simplified());
        return CliExit::NoUnit;
    }
    // A longer answer time is a longer wait for the announcement too.
    const std::chrono::milliseconds wait =
        std::max(AnnouncementWait, Milliseconds(request_.timeoutSeconds.value_or(0)));
    if (!link_->AwaitAnnouncement(wait) && !link_->IsOpen()) {
        Say(EnglishText(DetailPhrase{Msg::PhraseNoGcuConnected, {}}));
        return CliExit::NoUnit;
    }
    return CliExit::Done;
}

CliExit CliUnit::Download() {
    ReadOutcome outcome;
    {
        UnitSession::Request scope(session_);
        outcome = session_.Download();
    }
    if (outcome.Ok())
        return SettleWhichUnit();
    QString text = EnglishText(WhyNotRead(outcome));
    if (session_.AnnouncedFirmware().isEmpty() && outcome.malformed.isEmpty())
        text = CliText(Msg::CliNoAnnouncement)
                   .arg(port_)
                   .arg(std::max(std::chrono::duration<double>(AnnouncementWait).count(),
                                 request_.timeoutSeconds.value_or(0))) +
               u' ' + text;
    Say(text);
    return CliExit::NoUnit;
}

int CliUnit::UnitRpmFactor() {
    const std::optional<UnitReading>& unit = session_.Unit();
    return unit ? ::UnitRpmFactor(session_.Commands(), unit->values, session_.RPMFactor())
                : session_.RPMFactor();
}

// Where the units known on this computer cannot tell the unit on the link
// (the window would ask), --unit says which it is. Without it nothing is
// written: the points a write keeps first could not be filed.
CliExit CliUnit::SettleWhichUnit() {
    UnitRecognizer* recognizer = keeper_->Recognizer();
    if (!recognizer)
        return CliExit::Done;
    // A unit the known units tell is that unit: --unit may only say so.
    if (!recognizer->AskingWhich()) {
        const QString& known = session_.UnitName();
        if (request_.unitName.isEmpty() || known.isEmpty() ||
            known.compare(request_.unitName, Qt::CaseInsensitive) == 0)
            return CliExit::Done;
        Say(CliText(Msg::CliUnitKnownOtherwise).arg(known, request_.unitName));
        return CliExit::Usage;
    }
    if (!request_.unitName.isEmpty()) {
        try {
            QString key;
            for (const KnownUnit& known : UnitRegistry(UserDataFolder()).Load())
                if (known.name.compare(request_.unitName, Qt::CaseInsensitive) == 0)
                    key = known.key;
            if (key.isEmpty())
                recognizer->ChooseNew(request_.unitName);
            else
                recognizer->Choose(key);
        } catch (const QvException& refused) {
            Say(QStringLiteral("--unit: ") + refused.Message());
            return CliExit::Usage;
        }
        return CliExit::Done;
    }
    QStringList names;
    for (const UnitCandidate& candidate : recognizer->Candidates())
        names << candidate.name;
    const QString candidates = names.join(QStringLiteral(", "));
    if (request_.subcommand->writes) {
        Say(CliText(Msg::CliWhichUnitBeforeWriting).arg(candidates));
        return CliExit::Usage;
    }
    Say(CliText(Msg::CliWhichUnitPointsNotKept).arg(candidates));
    return CliExit::Done;
}

CliUnitName CliUnit::Recognise() {
    CliUnitName named;
    if (!session_.UnitName().isEmpty()) {
        named.recognised = true;
        named.key = session_.UnitKey();
        named.name = session_.UnitName();
        return named;
    }
    if (const UnitRecognizer* recognizer = keeper_->Recognizer())
        for (const UnitCandidate& candidate : recognizer->Candidates())
            named.candidates << candidate.name;
    return named;
}

QString CliUnit::UnitNameForHeader() {
    return Recognise().name;
}
