#include "device/UnitSession.h"

#include "device/ConfigDump.h"
#include "device/DeviceFrames.h"
#include "device/LinkLogging.h"
#include "model/ParameterLimits.h"
#include "util/Exceptions.h"
#include "util/UnitUtils.h"

UnitSession::UnitSession(WorkingCopyView& view, QObject* parent)
    : QObject(parent), working_(view), exchange_(MakeExchange(LinkExchange::Limits{})) {
    working_.changed = [this] {
        NotePendingUnit();
        Q_EMIT workingCopyChanged();
        Q_EMIT originChanged();
    };
}

UnitSession::~UnitSession() = default;

std::unique_ptr<LinkExchange> UnitSession::MakeExchange(const LinkExchange::Limits& limits) {
    return std::make_unique<LinkExchange>(
        router_, waiter_,
        [this](const QByteArray& frame) {
            if (!send_)
                throw QvException(QStringLiteral("no link to send on"));
            send_(frame);
        },
        limits);
}

void UnitSession::SetLimits(const LinkExchange::Limits& limits) {
    exchange_ = MakeExchange(limits);
}

int UnitSession::PendingChanges() const {
    int pending = 0;
    const ChangeSequence& sequence = Sequence();
    for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i)
        if (IsPendingStatus(sequence[i].Status))
            ++pending;
    return pending;
}

void UnitSession::FileLoaded(const QString& fileName) {
    NotePendingUnit();
    origin_.loadedFile = fileName;
    Q_EMIT originChanged();
    Q_EMIT workingCopyChanged();
}

void UnitSession::LoadedEntriesApplied() {
    if (!origin_.loadedFile.isEmpty())
        origin_.appliedFile = origin_.loadedFile;
    origin_.loadedFile.clear();
    Q_EMIT originChanged();
    Q_EMIT workingCopyChanged();
}

void UnitSession::ValueLearned(int id, double valueFW) {
    working_.ValueLearned(id, valueFW);
    if (unit_ && unit_->values.Has(id))
        unit_->values.fw[id] = valueFW;
    Q_EMIT workingCopyChanged();
}

// ---------------------------------------------------------------- which unit

void UnitSession::SetUnitKnownAs(const QString& key, const QString& name) {
    const QString before = std::exchange(unitKey_, key);
    unitName_ = name;
    // Entries made against this link's unit before it was known by name (or
    // by this name: renamed, merged) belong to it.
    if (pendingMadeFor_ && pendingMadeFor_->link == linkNumber_ &&
        (pendingMadeFor_->key.isEmpty() || pendingMadeFor_->key == before) && unit_ &&
        unitReadOnLink_ == linkNumber_) {
        pendingMadeFor_->key = key;
        pendingMadeFor_->name = name;
    }
    Q_EMIT unitKnownAsChanged();
}

UnitFacts UnitSession::ConnectedFacts() const {
    UnitFacts facts;
    facts.key = unitKey_;
    facts.name = unitName_;
    facts.link = unit_ ? unitReadOnLink_ : linkNumber_;
    if (unit_) {
        facts.read = true;
        facts.pcb = unit_->pcbText;
        facts.firmware = unit_->firmware;
        facts.reboots = unit_->reboots;
    }
    return facts;
}

void UnitSession::NotePendingUnit() {
    if (PendingChanges() == 0) {
        pendingMadeFor_.reset();
        pendingNoted_ = false;
        return;
    }
    if (pendingNoted_)
        return;
    pendingNoted_ = true;
    // Made with no unit read: they are for whichever unit is connected.
    if (unit_)
        pendingMadeFor_ = ConnectedFacts();
}

std::optional<OtherUnitOnLink> UnitSession::OtherUnitConnected() const {
    if (!pendingMadeFor_)
        return std::nullopt;
    const UnitFacts& madeFor = *pendingMadeFor_;
    OtherUnitOnLink other;
    other.madeFor = madeFor;
    other.connected = ConnectedFacts();
    const UnitFacts& now = other.connected;
    const auto differ = [](const QString& a, const QString& b) {
        return !a.isEmpty() && !b.isEmpty() && a.trimmed() != b.trimmed();
    };
    other.notRead = !now.read;
    if (now.read) {
        other.otherPcb = differ(madeFor.pcb, now.pcb);
        other.otherFirmware = differ(madeFor.firmware, now.firmware);
        other.rebootsLower =
            madeFor.reboots >= 0 && now.reboots >= 0 && now.reboots < madeFor.reboots;
    }
    if (!madeFor.key.isEmpty()) {
        if (now.key.isEmpty())
            other.notRecognised = now.link != madeFor.link;
        else
            other.otherKnownUnit = now.key != madeFor.key;
    }
    if (!other.notRead && !other.otherPcb && !other.otherFirmware && !other.rebootsLower &&
        !other.otherKnownUnit && !other.notRecognised)
        return std::nullopt;
    return other;
}

void UnitSession::GoOnWithConnectedUnit() {
    if (PendingChanges() == 0)
        return;
    pendingNoted_ = true;
    if (unit_)
        pendingMadeFor_ = ConnectedFacts();
    else
        pendingMadeFor_.reset();
}

bool UnitSession::ConnectedPcbHas(int id) const {
    if (!unit_ || unit_->pcbVersion == 0 || !CommandTable::IsValidId(id))
        return true;
    return IsVisibleOnPcb(Commands()[id], unit_->pcbVersion);
}

// ---------------------------------------------------------------- the link

void UnitSession::LinkOpened(const UnitLinkIdentity& identity) {
    router_.ResetForConnection();
    identity_ = identity;
    state_ = LinkState::Open;
    ++linkNumber_;
    unit_.reset();
    unitCurrent_ = false;
    announcedFirmware_.clear();
    unitKey_.clear();
    unitName_.clear();
    live_.LinkOpened();
    Q_EMIT linkOpened();
    Q_EMIT unitKnownAsChanged();
}

void UnitSession::BeginClosing() {
    if (state_ == LinkState::Open)
        state_ = LinkState::Closing;
}

bool UnitSession::LinkClosed() {
    // A wait in progress ends now instead of running into its time limit, and
    // knows that the link, not the unit, failed it.
    router_.LoseLink();
    const bool lost = state_ == LinkState::Open;
    const bool wasOpen = state_ != LinkState::Closed;
    state_ = LinkState::Closed;
    if (wasOpen)
        Q_EMIT linkClosed(lost);
    return lost;
}

ReceiveOutcome UnitSession::Receive(const QByteArray& piece, const QTime& now, bool logShown,
                                    const ArrivalMarks& arrivals) {
    ReceiveOutcome outcome = router_.Receive(piece, now, logShown, arrivals);
    if (outcome.announcement || !outcome.firmwareVersion.isEmpty())
        announcedFirmware_ = outcome.firmwareVersion;
    return outcome;
}

// ---------------------------------------------------------------- live data

void UnitSession::LiveSwitched(bool on) {
    if (on)
        live_.LiveSwitched(true, GearBandsOf(Commands()));
    else
        live_.LiveSwitched(false);
}

LiveParse UnitSession::TakeLiveLine(const QString& line, SteadyTime arrived,
                                    const LiveBarRanges& ranges) {
    LiveParse parse = ParseLiveLine(line, Commands(), RPMFactor(), ranges);
    if (parse.sample)
        live_.TakeLine(*parse.sample, arrived);
    return parse;
}

// ---------------------------------------------------------------- reading

LinkExchange::DumpAnswer UnitSession::RequestDump() {
    try {
        return exchange_->RequestConfigDump(MaxDumpLength(ExpectedDumpFieldCount(Commands())));
    } catch (const QvException& refused) {
        // The port took no frame: the link is gone.
        qCInfo(lcLink).noquote() << "dump request not sent:" << refused.Message();
        return LinkExchange::DumpAnswer{WaitResult::LinkLost, QString()};
    }
}

ReadOutcome UnitSession::ParseDump(const LinkExchange::DumpAnswer& answer) const {
    ReadOutcome outcome;
    outcome.wait = answer.result;
    if (answer.result != WaitResult::Completed)
        return outcome;
    CommandTable parsed = Commands();
    const ConfigDumpResult result =
        ApplyConfigDump(answer.dump, parsed, working_.RpmFactor(), pcbVersion_, pcbForceVersion_);
    if (!result.ok) {
        outcome.malformed = result.error;
        outcome.malformedPhrase = result.problem;
        return outcome;
    }
    UnitReading reading;
    reading.values = UnitValuesOfDump(parsed, result.fieldCount);
    reading.firmware = announcedFirmware_;
    reading.pcbText = result.pcbVersionText.value_or(unit_ ? unit_->pcbText : QString());
    reading.pcbVersion = result.pcbVersion;
    reading.reboots = result.reboots;
    outcome.reading = reading;
    return outcome;
}

ReadOutcome UnitSession::ReadDump() {
    return ParseDump(RequestDump());
}

void UnitSession::TakeReading(const UnitReading& reading, bool shown) {
    unit_ = reading;
    unitReadOnLink_ = linkNumber_;
    unitCurrent_ = true;
    if (shown)
        pcbVersion_ = reading.pcbVersion;
}

ReadOutcome UnitSession::Download() {
    const LinkExchange::DumpAnswer answer = RequestDump();
    if (answer.result != WaitResult::Completed) {
        ReadOutcome outcome;
        outcome.wait = answer.result;
        return outcome;
    }
    return TakeDownloadedDump(answer.dump);
}

ReadOutcome UnitSession::TakeDownloadedDump(const QString& dump) {
    ReadOutcome outcome = ParseDump(LinkExchange::DumpAnswer{WaitResult::Completed, dump});
    if (!outcome.Ok())
        return outcome;
    TakeReading(*outcome.reading, true);
    working_.TakeUnitValues(outcome.reading->values);
    origin_ = ShownOrigin{true, QDateTime::currentDateTime(), QString(), QString()};
    Q_EMIT unitRead(ReadReason::Download, *outcome.reading);
    Q_EMIT originChanged();
    Q_EMIT workingCopyChanged();
    return outcome;
}

ReadOutcome UnitSession::ReadSilently() {
    ReadOutcome outcome;
    if (state_ != LinkState::Open) {
        outcome.wait = WaitResult::LinkLost;
        return outcome;
    }
    outcome = ReadDump();
    if (!outcome.Ok())
        return outcome;
    TakeReading(*outcome.reading, false);
    Q_EMIT unitRead(ReadReason::Silent, *outcome.reading);
    Q_EMIT workingCopyChanged();
    return outcome;
}

// ---------------------------------------------------------------- writing

WaitResult UnitSession::SendStore() {
    try {
        const WaitResult result = exchange_->StoreParameters();
        Q_EMIT storeSent();
        return result;
    } catch (const QvException& refused) {
        qCInfo(lcLink).noquote() << "store not sent:" << refused.Message();
        return WaitResult::LinkLost;
    }
}

namespace {
// An entry marked transmitted in this run, with the status it had before.
struct MarkedEntry {
    int commandId = 0;
    double valueFW = 0.0;
    QString statusBefore;
};
} // namespace

TransmitOutcome UnitSession::Transmit(bool all, const std::function<void(int row)>& entryStarting) {
    TransmitOutcome out;
    SequenceController& rules = Rules();
    ChangeSequence& sequence = Sequence();

    // A value outside its limits is never framed: "Transmit All" refuses the
    // whole run before anything is sent, "Transmit" its entry.
    if (all) {
        if (std::optional<RefusedEntry> refused = rules.FirstRefusedPendingEntry()) {
            rules.SelectGridRow(refused->row);
            out.stop = TransmitOutcome::Stop::Refused;
            out.refused = refused;
            return out;
        }
        if (PendingChanges() == 0) {
            out.stop = TransmitOutcome::Stop::NothingToSend;
            return out;
        }
    } else {
        try {
            if (rules.TransmitFrameText(sequence.GridSelectedRow).isEmpty()) {
                out.stop = TransmitOutcome::Stop::NothingToSend;
                return out;
            }
        } catch (const EValueOutOfLimits& refused) {
            out.stop = TransmitOutcome::Stop::Refused;
            out.refused = RefusedEntry{sequence.GridSelectedRow, refused.Refusal()};
            return out;
        }
    }

    // Which unit is on the link, and which parameters its PCB has, decide what
    // may be sent: a unit not read on this link (no download) is read first,
    // unless it streams live values (then its last reading stands).
    preWriteRead_ = ReadOutcome{};
    if (state_ == LinkState::Open && (!unit_ || !unitCurrent_) &&
        router_.Request() != RequestId::Live)
        preWriteRead_ = ReadSilently();
    NotePendingUnit();
    if (std::optional<OtherUnitOnLink> other = OtherUnitConnected()) {
        out.stop = TransmitOutcome::Stop::OtherUnit;
        out.otherUnit = other;
        return out;
    }
    if (all) {
        for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i)
            if (IsPendingStatus(sequence[i].Status) && !ConnectedPcbHas(sequence[i].CommandID))
                out.notOnPcb.append(sequence[i].CommandID);
        if (out.notOnPcb.size() == PendingChanges()) {
            out.stop = TransmitOutcome::Stop::NothingToSend;
            return out;
        }
    } else if (!ConnectedPcbHas(sequence[sequence.GridSelectedRow].CommandID)) {
        out.notOnPcb.append(sequence[sequence.GridSelectedRow].CommandID);
        out.stop = TransmitOutcome::Stop::NothingToSend;
        return out;
    }

    // What the unit holds is kept before anything is written to it.
    Q_EMIT aboutToWrite();
    unitCurrent_ = false;

    StoreReadBack readBack;
    QVector<MarkedEntry> marked;
    const auto sendRow = [&](int row) {
        QString frame;
        try {
            frame = rules.TransmitFrameText(row);
        } catch (const EValueOutOfLimits& refused) {
            out.stop = TransmitOutcome::Stop::Refused;
            out.refused = RefusedEntry{row, refused.Refusal()};
            return false;
        }
        if (frame.isEmpty())
            return true;
        const TSequenceRecord sent = sequence[row];
        WaitResult result = WaitResult::LinkLost;
        try {
            result = exchange_->SendAndAwaitAnyPiece(ToCp1252(frame));
        } catch (const QvException& refused) {
            qCInfo(lcLink).noquote() << "frame not sent:" << refused.Message();
        }
        if (result == WaitResult::LinkLost) {
            out.stop = TransmitOutcome::Stop::LinkLost;
            return false;
        }
        if (result != WaitResult::Completed) {
            out.stop = TransmitOutcome::Stop::NoAnswer;
            return false;
        }
        ++out.answered;
        // Found by its command: a capture meanwhile may have moved it. One
        // changed or erased while the answer was awaited is not marked.
        const int at = sequence.FindForCapture(sent.CommandID);
        if (at > 0 && sequence[at].ActualValueFW == sent.ActualValueFW &&
            IsPendingStatus(sequence[at].Status)) {
            marked.append(MarkedEntry{sent.CommandID, sent.ActualValueFW, sequence[at].Status});
            rules.MarkTransmitted(at);
            readBack.RecordSent(sent.CommandID, sent.ActualValueFW);
        }
        return true;
    };

    if (all) {
        for (int i = 1; i <= SequenceCount && sequence[i].CommandID > 0; ++i) {
            if (!IsPendingStatus(sequence[i].Status) || !ConnectedPcbHas(sequence[i].CommandID))
                continue;
            rules.SelectGridRow(i);
            if (entryStarting)
                entryStarting(i);
            if (!sendRow(i))
                break;
        }
        rules.SelectGridRow(1);
    } else {
        const int row = sequence.GridSelectedRow;
        if (entryStarting)
            entryStarting(row);
        sendRow(row);
    }

    // What was answered is stored, unless the link is gone.
    const bool store = out.stop != TransmitOutcome::Stop::LinkLost &&
                       out.stop != TransmitOutcome::Stop::Refused && out.answered > 0;
    if (store) {
        out.storeSent = true;
        if (SendStore() == WaitResult::LinkLost) {
            out.linkLostAtStore = true;
            out.check = TransmitOutcome::Check::Failed;
            out.readBack.wait = WaitResult::LinkLost;
        } else if (!readBack.NothingSent()) {
            out.readBack = ReadDump();
            if (!out.readBack.Ok()) {
                out.check = TransmitOutcome::Check::Failed;
            } else {
                const UnitReading& held = *out.readBack.reading;
                std::map<int, double> heldValues;
                for (auto it = held.values.fw.cbegin(); it != held.values.fw.cend(); ++it)
                    heldValues[it.key()] = it.value();
                readBack.SetHeldValues(heldValues);
                out.mismatches = readBack.Mismatches(Commands());
                TakeReading(held, true);
                // The pages show what the unit holds now; a value it does not
                // hold is a change to send again.
                working_.TakeUnitValues(held.values);
                for (const ReadBackMismatch& mismatch : out.mismatches) {
                    const int at = sequence.FindForCapture(mismatch.commandId);
                    if (at > 0 && sequence[at].Status == StatusLetter::Transmitted)
                        rules.MarkNotHeld(at, mismatch.heldFW);
                }
                if (!out.mismatches.isEmpty())
                    working_.Reconcile();
                origin_.fromUnit = true;
                origin_.readAt = QDateTime::currentDateTime();
                out.check = out.mismatches.isEmpty() ? TransmitOutcome::Check::Verified
                                                     : TransmitOutcome::Check::NotHeld;
                Q_EMIT storeChecked(held, out.mismatches.isEmpty());
            }
        }
    }

    // An entry the unit was not seen to keep is not shown as stored: it is a
    // change to send again.
    if (out.check != TransmitOutcome::Check::Verified &&
        out.check != TransmitOutcome::Check::NotHeld) {
        for (const MarkedEntry& entry : marked) {
            const int at = sequence.FindForCapture(entry.commandId);
            if (at > 0 && sequence[at].Status == StatusLetter::Transmitted &&
                sequence[at].ActualValueFW == entry.valueFW)
                rules.MarkNotStored(at, entry.statusBefore);
        }
    }
    NotePendingUnit();
    Q_EMIT originChanged();
    Q_EMIT workingCopyChanged();
    return out;
}
