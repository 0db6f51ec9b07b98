#include "device/ConnectionRules.h"

#include "translation/MessageNumbers.h"

#include <cerrno>

QString PortBox::MakeEntry(const QString& portName, const QString& friendlyName) {
    return portName + QLatin1String(EntrySeparator) + friendlyName;
}

// Device paths hold no "=", friendly names may: the first "=" ends the port name.
QString PortBox::PortNameFromEntry(const QString& entry) {
    const int equals = entry.indexOf(u'=');
    if (equals < 0)
        return entry.trimmed();
    QString name = entry.left(equals);
    if (name.endsWith(u' '))
        name.chop(1);
    return name.trimmed();
}

bool PortBox::KeepSelectionAfterRefresh(const QString& shownText, const QStringList& items) {
    return items.join(QString()).contains(shownText);
}

QStringList PortBox::ItemsFromPortList(const QStringList& portLines) {
    QStringList items{QLatin1String(AutoConnect)};
    items += portLines;
    return items;
}

const QStringList& AutoConnect::AdapterPatterns() {
    static const QStringList patterns{
        QStringLiteral("Arduino Mega"),
        QStringLiteral("USB-SERIAL CH340"),
        QStringLiteral("Prolific USB-to-Serial Comm Port"),
        QStringLiteral("Dispositivo seriale USB"),
        QStringLiteral("USB Serial Port"),
    };
    return patterns;
}

bool AutoConnect::IsGcuAdapter(const QString& entry) {
    for (const QString& pattern : AdapterPatterns())
        if (entry.contains(pattern))
            return true;
    return false;
}

bool AutoConnect::ShouldAct(const QString& buttonCaption, const QString& boxText) {
    return buttonCaption == QLatin1String("Connect") &&
           boxText == QLatin1String(PortBox::AutoConnect);
}

QList<int> AutoConnect::Candidates(const QStringList& items) {
    QList<int> indexes;
    for (int i = 1; i < items.size(); ++i)
        if (IsGcuAdapter(items[i]))
            indexes.append(i);
    return indexes;
}

AutoConnector::AutoConnector(Clock clock) : clock_(std::move(clock)) {}

AutoConnector::Clock AutoConnector::SteadyClock() {
    return [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    };
}

bool AutoConnector::BusyTooLong(const QString& portName, std::chrono::milliseconds now) {
    const auto [entry, inserted] = busySince_.try_emplace(portName, now);
    return !inserted && now - entry->second >= AutoConnect::BusyGrace;
}

AutoConnectTick AutoConnector::Tick(const QStringList& items, const TryOpen& tryOpen) {
    AutoConnectTick tick;
    const std::chrono::milliseconds now = clock_();
    std::set<QString> busyNow;
    bool retryLater = false;
    for (int index : AutoConnect::Candidates(items)) {
        const QString port = PortBox::PortNameFromEntry(items[index]);
        QString error;
        const OpenAttempt attempt = tryOpen(index, error);
        tick.selectIndex = index;
        if (attempt == OpenAttempt::Opened) {
            busySince_.erase(port);
            tick.connected = true;
            return tick;
        }
        if (attempt != OpenAttempt::Busy)
            continue;
        busyNow.insert(port);
        if (BusyTooLong(port, now)) {
            busySince_.erase(port);
            tick.error = error;
            return tick;
        }
        retryLater = true;
    }
    // Only ports busy at every tick in a row count towards the grace.
    std::erase_if(busySince_,
                  [&busyNow](const auto& entry) { return !busyNow.count(entry.first); });
    if (retryLater)
        tick.selectIndex = 0;
    return tick;
}

// ---------------------------------------------------------------- open advice

bool OpenAdvice::IsSerialAccessGroup(const QString& group) {
    static const char* const groups[] = {"dialout", "uucp", "tty", "serial"};
    for (const char* name : groups)
        if (group == QLatin1String(name))
            return true;
    return false;
}

OpenAdvice::Advice OpenAdvice::ForOpenError(int systemError, const QString& deviceGroup,
                                            const QString& udevRulePath) {
    switch (systemError) {
    case EACCES:
    case EPERM:
        // Joining the group that owns the device helps only when that group is
        // meant for serial ports; joining root or a seat group is wrong advice.
        if (IsSerialAccessGroup(deviceGroup))
            return {Msg::PermissionJoinGroup,
                    QStringLiteral("sudo usermod -aG %1 $USER").arg(deviceGroup)};
        return {Msg::PermissionUdevRule, udevRulePath};
    case EBUSY:
        return {Msg::PortBusyAdvice, QString()};
    default:
        return {};
    }
}
