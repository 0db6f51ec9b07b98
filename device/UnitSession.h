#pragma once
// The one session with a unit. It owns what the unit holds (its last complete
// reading on this link), the working copy the pages show with its pending
// changes, and the link to the unit with its one request at a time. The
// window, the command-line front end and the tests drive it; pages follow its
// events instead of being called by the window's other parts, and a
// request's answer returns to whoever asked for it. Widget-free.
#include "device/LinkExchange.h"
#include "device/LiveTelemetry.h"
#include "device/StoreReadBack.h"
#include "model/LiveSession.h"
#include "model/UnitValues.h"
#include "model/WorkingCopy.h"
#include "util/DetailPhrase.h"

#include <QDateTime>
#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// The link's one state, so that an unplug is reported once and a close by
// the program not at all.
enum class LinkState { Closed, Open, Closing };

// The unit's adapter, as far as the link knows it.
struct UnitLinkIdentity {
    QString port;
    QString usbSerial;
    QString vendorProduct; // "0403:6001"
};

// Where the values the pages show come from.
struct ShownOrigin {
    bool fromUnit = false; // false: the command table's defaults, no unit read
    QDateTime readAt;      // when the unit's values were read (local time)
    QString appliedFile;   // a file whose loaded values were applied since
    QString loadedFile;    // a file whose values wait as loaded entries
};

// Why the unit was read.
enum class ReadReason {
    Download, // Get Config.: its values are shown
    ReadBack, // after a store: compared with what was sent, and shown
    Silent,   // for a restore point: nothing shown
};

// A complete reading of the unit, or why there is none.
struct ReadOutcome {
    WaitResult wait = WaitResult::TimedOut;
    QString malformed;                           // a dump came that cannot be taken: why (English)
    std::optional<DetailPhrase> malformedPhrase; // the same, to be said in the language in use
    std::optional<UnitReading> reading;          // present exactly when the dump was taken
    bool Ok() const { return reading.has_value(); }
};

// A unit as something was made against it: the unit known by name (key and
// name; empty while not decided) and what it said about itself.
struct UnitFacts {
    QString key;
    QString name;
    QString pcb;
    QString firmware;
    int reboots = -1;  // -1: not read
    quint64 link = 0;  // the link it was seen on (each opening counts)
    bool read = false; // false: nothing was read of it
};

// The unit on the link is not the one the pending entries were made for.
struct OtherUnitOnLink {
    UnitFacts madeFor;
    UnitFacts connected;
    bool otherKnownUnit = false; // both known by name, and not the same
    bool notRecognised = false;  // the connected one is not yet known by name
    bool otherPcb = false;
    bool otherFirmware = false;
    bool rebootsLower = false;
    bool notRead = false; // the connected one could not be read
};

// One transmission ("Transmit" or "Transmit All"): the entries sent, the
// store and its check.
struct TransmitOutcome {
    enum class Stop { None, NothingToSend, Refused, NoAnswer, LinkLost, OtherUnit };
    Stop stop = Stop::None;
    std::optional<RefusedEntry> refused; // nothing of it was sent
    // OtherUnit: nothing was sent; the user is to see which unit is connected
    // and choose (GoOnWithConnectedUnit) before the entries go to it.
    std::optional<OtherUnitOnLink> otherUnit;
    // Pending entries of parameters the connected unit's PCB does not have:
    // never sent, still pending (command IDs).
    QVector<int> notOnPcb;
    int answered = 0;
    bool storeSent = false;
    bool linkLostAtStore = false;
    enum class Check { NotRun, Verified, NotHeld, Failed };
    Check check = Check::NotRun;
    QVector<ReadBackMismatch> mismatches; // NotHeld: the values the unit does not hold
    ReadOutcome readBack;                 // Failed: why
};

class UnitSession : public QObject {
    Q_OBJECT
  public:
    using Sender = std::function<void(const QByteArray& frame)>;

    explicit UnitSession(WorkingCopyView& view, QObject* parent = nullptr);
    ~UnitSession() override;

    // ------------------------------------------------------------ the working copy
    WorkingCopy& Working() { return working_; }
    CommandTable& Commands() { return working_.Commands(); }
    const CommandTable& Commands() const { return working_.Commands(); }
    ChangeSequence& Sequence() { return working_.Sequence(); }
    const ChangeSequence& Sequence() const { return working_.Sequence(); }
    SequenceController& Rules() { return working_.Rules(); }
    // The shared values of the same names: the RPM factor, the PCB version
    // read (times ten) and the one the user forced (0: none).
    int& RPMFactor() { return working_.RpmFactorRef(); }
    int& PCBVersion() { return pcbVersion_; }
    int& PCBForceVersion() { return pcbForceVersion_; }
    // Changes not yet in the unit ("M" and "L" entries).
    int PendingChanges() const;
    const ShownOrigin& Origin() const { return origin_; }
    // A file's values became loaded entries; were applied into the controls.
    void FileLoaded(const QString& fileName);
    void LoadedEntriesApplied();

    // ------------------------------------------------------------ the unit
    // What the unit holds: its last complete reading on this link.
    const std::optional<UnitReading>& Unit() const { return unit_; }
    // Nothing was written to the unit since that reading.
    bool UnitCurrent() const { return unitCurrent_; }
    // The firmware version the unit announced on this link.
    const QString& AnnouncedFirmware() const { return announcedFirmware_; }
    // What the unit announces next is awaited afresh (after a firmware update).
    void ForgetAnnouncedFirmware() { announcedFirmware_.clear(); }
    // A calibration step taught the unit a value: the unit holds it, the
    // page shows it.
    void ValueLearned(int id, double valueFW);

    // ------------------------------------------------------------ which unit
    // The unit on the link as known by name (empty while not decided).
    const QString& UnitKey() const { return unitKey_; }
    const QString& UnitName() const { return unitName_; }
    void SetUnitKnownAs(const QString& key, const QString& name);
    // What the unit on the link said about itself, with its name.
    UnitFacts ConnectedFacts() const;
    // The unit the pending entries were made against (nullopt: none is
    // pending, or they were made with no unit read).
    const std::optional<UnitFacts>& PendingMadeFor() const { return pendingMadeFor_; }
    // Why the unit on the link is not the one the pending entries were made
    // for; nullopt when it is (or nothing tells otherwise).
    std::optional<OtherUnitOnLink> OtherUnitConnected() const;
    // The user has seen which unit is connected and chose to go on: the
    // pending entries are now for it.
    void GoOnWithConnectedUnit();
    // Whether the PCB of the unit on the link has command Id (true while its
    // PCB is not known).
    bool ConnectedPcbHas(int id) const;

    // ------------------------------------------------------------ the link
    void SetSender(Sender send) { send_ = std::move(send); }
    void SetLimits(const LinkExchange::Limits& limits);
    LinkExchange& Exchange() { return *exchange_; }
    LinkRouter& Router() { return router_; }
    ResponseWaiter& Waiter() { return waiter_; }
    LinkState State() const { return state_; }
    bool LinkOpen() const { return state_ == LinkState::Open; }
    const UnitLinkIdentity& LinkIdentity() const { return identity_; }
    // The port opened: another unit, or the same one after an update, may
    // answer; nothing it held is known until it is read.
    void LinkOpened(const UnitLinkIdentity& identity);
    // The program closes the link (the user, the firmware update, closing).
    void BeginClosing();
    // The port closed. True when it closed by itself (an unplug): reported
    // once; a close the program began is not.
    bool LinkClosed();
    // One received piece (Arrivals: when its bytes came): the router's
    // outcome, with the announcement noted.
    ReceiveOutcome Receive(const QByteArray& piece, const QTime& now, bool logShown,
                           const ArrivalMarks& arrivals = {});

    // ------------------------------------------------------------ live data
    // The stream's history, shifts, gaps and recording: kept whether or not
    // a page draws them.
    LiveSession& Live() { return live_; }
    const LiveSession& Live() const { return live_; }
    // Live mode went on or off: lines are missing while it is off.
    void LiveSwitched(bool on);
    // One status line of the stream, received at Arrived: read with the
    // command table and RPM factor in use, taken into the history when whole.
    // Ranges are the bars' (for the view the window shows).
    LiveParse TakeLiveLine(const QString& line, SteadyTime arrived,
                           const LiveBarRanges& ranges = {});

    // One request at a time: the waits run the event loop, where another
    // request could start and take the first one's answer.
    bool Busy() const { return busy_; }
    class Request {
      public:
        explicit Request(UnitSession& session) : busy_(session.busy_), claimed_(!session.busy_) {
            busy_ = true;
        }
        ~Request() {
            if (claimed_)
                busy_ = false;
        }
        Request(const Request&) = delete;
        Request& operator=(const Request&) = delete;
        bool Claimed() const { return claimed_; }

      private:
        bool& busy_;
        bool claimed_;
    };

    // ------------------------------------------------------------ reading the unit
    // "[INVPARAM 1]", answered to the caller: the whole dump, or why none came.
    LinkExchange::DumpAnswer RequestDump();
    // Get Config.: the dump is taken into the working copy and shown.
    ReadOutcome Download();
    // A complete dump into the working copy (GetConfig): taken whole or not at all.
    ReadOutcome TakeDownloadedDump(const QString& dump);
    // The unit's values without showing them (the working copy stays as it is).
    ReadOutcome ReadSilently();

    // ------------------------------------------------------------ writing to the unit
    // "Transmit" (the selected entry) or "Transmit All" (every pending entry in
    // list order, each after the unit answered the one before), then the
    // store, the read-back and its check. EntryStarting runs before each entry.
    TransmitOutcome Transmit(bool all, const std::function<void(int row)>& entryStarting = {});
    // The reading a transmission took of a unit that may have changed since
    // its last reading, before anything was written (why none, when it failed).
    const ReadOutcome& ReadBeforeWrite() const { return preWriteRead_; }

  Q_SIGNALS:
    void linkOpened();
    void linkClosed(bool lost);
    // The unit on the link is now known by this name (or no longer known).
    void unitKnownAsChanged();
    // The unit's values were read (and for Download and ReadBack, shown).
    void unitRead(ReadReason reason, const UnitReading& reading);
    // After a store: the read-back; Verified when the unit holds every value sent.
    void storeChecked(const UnitReading& reading, bool verified);
    // Before the first frame of a transmission: what the unit holds is kept.
    void aboutToWrite();
    // "[SAVEPRMT 0]" went out.
    void storeSent();
    // The working copy or the sequence changed (a comparison follows).
    void workingCopyChanged();
    // Where the shown values come from, or how many changes wait, changed.
    void originChanged();

  private:
    ReadOutcome ParseDump(const LinkExchange::DumpAnswer& answer) const;
    ReadOutcome ReadDump();
    // Shown: the pages show its values (and its PCB version decides what they show).
    void TakeReading(const UnitReading& reading, bool shown);
    WaitResult SendStore();
    std::unique_ptr<LinkExchange> MakeExchange(const LinkExchange::Limits& limits);
    // Pending entries note the unit they are made against; none pending, none.
    void NotePendingUnit();

    WorkingCopy working_;
    int pcbVersion_ = 0;
    int pcbForceVersion_ = 0;
    ShownOrigin origin_;
    std::optional<UnitReading> unit_;
    bool unitCurrent_ = false;
    QString announcedFirmware_;
    QString unitKey_;
    QString unitName_;
    quint64 linkNumber_ = 0;
    quint64 unitReadOnLink_ = 0; // the link unit_ was read on
    std::optional<UnitFacts> pendingMadeFor_;
    ReadOutcome preWriteRead_;
    bool pendingNoted_ = false;
    UnitLinkIdentity identity_;
    LinkState state_ = LinkState::Closed;
    bool busy_ = false;
    Sender send_;
    LinkRouter router_;
    ResponseWaiter waiter_;
    std::unique_ptr<LinkExchange> exchange_;
    LiveSession live_;
};
