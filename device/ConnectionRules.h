#pragma once
// Connection rules that need no widget: port-box entries, the adapter names
// that auto-connect looks for, when and in which order it tries ports, and how
// it treats a port that is busy for a moment.
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace PortBox {
constexpr const char* AutoConnect = "AUTO CONNECT";
constexpr const char* EntrySeparator = " = ";

// "port = friendly name" as listed.
QString MakeEntry(const QString& portName, const QString& friendlyName);
// The port name (a device path) of an entry: the text before its "=", without
// the blank in front. Text typed without "=" is taken as the port name itself.
QString PortNameFromEntry(const QString& entry);
// After a disconnect: the shown text stays selected while it still occurs in
// the list (all items joined); otherwise the box goes back to auto-connect.
bool KeepSelectionAfterRefresh(const QString& shownText, const QStringList& items);
// The items of the box: "AUTO CONNECT" first, then the port list's lines.
QStringList ItemsFromPortList(const QStringList& portLines);
} // namespace PortBox

namespace AutoConnect {
constexpr std::chrono::milliseconds TickInterval{1000};
// A port still busy this long after it was first found busy is reported.
constexpr std::chrono::milliseconds BusyGrace{10000};

// The adapter names, in the order they are tested.
const QStringList& AdapterPatterns();
bool IsGcuAdapter(const QString& entry);
// Acts only while the button offers "Connect" and the box shows "AUTO CONNECT".
bool ShouldAct(const QString& buttonCaption, const QString& boxText);
// Indexes of the items (item 0 is "AUTO CONNECT") to try, in list order.
QList<int> Candidates(const QStringList& items);
} // namespace AutoConnect

namespace OpenAdvice {
// A group whose members are meant to use serial ports (dialout, uucp, tty,
// ...), as opposed to one such as root that owns a device by accident.
bool IsSerialAccessGroup(const QString& group);

// What to tell the user after the system refused to open a port: a message
// number (0: nothing to add) and the text that follows it.
struct Advice {
    int message = 0;
    QString appended;
};
// SystemError is the errno of the refused open, DeviceGroup the group that
// owns the device, UdevRulePath where the program's udev rule is installed.
Advice ForOpenError(int systemError, const QString& deviceGroup, const QString& udevRulePath);
} // namespace OpenAdvice

enum class OpenAttempt {
    Opened,  // the link is open
    Refused, // Open returned false (port gone or already open)
    Busy,    // Open raised: the device exists but cannot be opened now
};

struct AutoConnectTick {
    bool connected = false;
    // Item to select once the tick is over (-1: leave the box alone). The box
    // goes back to "AUTO CONNECT" when a busy port is to be retried.
    int selectIndex = -1;
    // A port busy for longer than the grace: the open error to show.
    std::optional<QString> error;
};

// One auto-connect search per tick. A busy port is passed over silently and
// retried at the next tick; only one that stays busy past the grace reports
// its error, which (as any open error) ends the search with its entry selected.
class AutoConnector {
  public:
    using Clock = std::function<std::chrono::milliseconds()>;
    // TryOpen selects item Index in the box and runs the connect branch; on
    // Busy it fills Error with the open error's text.
    using TryOpen = std::function<OpenAttempt(int index, QString& error)>;

    explicit AutoConnector(Clock clock = SteadyClock());
    static Clock SteadyClock();

    AutoConnectTick Tick(const QStringList& items, const TryOpen& tryOpen);
    bool IsTrackedBusy(const QString& portName) const { return busySince_.count(portName) > 0; }

  private:
    bool BusyTooLong(const QString& portName, std::chrono::milliseconds now);

    Clock clock_;
    std::map<QString, std::chrono::milliseconds> busySince_;
};
