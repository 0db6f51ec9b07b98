#include "cli/CliPorts.h"

#include "device/ConnectionRules.h"
#include "translation/MessageNumbers.h"
#include "translation/TranslationTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

PortReport CurrentPortReport() {
    PortReport report;
    for (const TPresentPort& port : ListPresentPorts()) {
        ListedPort listed;
        listed.port = port;
        listed.adapter = AdapterIdentityOf(port.path);
        listed.looksLikeGcu =
            AutoConnect::IsGcuAdapter(PortBox::MakeEntry(port.path, port.friendlyName));
        report.ports.push_back(listed);
    }
    report.adaptersWithoutPort = ListKnownAdaptersWithoutPort();
    return report;
}

QString PortReportText(const PortReport& report) {
    int pathWidth = 0;
    for (const ListedPort& listed : report.ports)
        pathWidth = std::max(pathWidth, static_cast<int>(listed.port.path.size()));
    QString text;
    for (const ListedPort& listed : report.ports) {
        QString line = listed.port.path.leftJustified(pathWidth) + QStringLiteral("  ") +
                       (listed.looksLikeGcu ? QStringLiteral("gcu") : QStringLiteral("-  ")) +
                       QStringLiteral("  ") + listed.port.friendlyName;
        text += line.trimmed() + u'\n';
    }
    return text;
}

QString PortReportJson(const PortReport& report) {
    QJsonArray ports;
    for (const ListedPort& listed : report.ports) {
        ports.append(QJsonObject{
            {QStringLiteral("path"), listed.port.path},
            {QStringLiteral("name"), listed.port.friendlyName},
            {QStringLiteral("gcu"), listed.looksLikeGcu},
            {QStringLiteral("vendorProduct"), listed.adapter.vendorProduct},
            {QStringLiteral("usbSerial"), listed.adapter.usbSerial},
            {QStringLiteral("byId"), listed.adapter.byIdName},
            {QStringLiteral("usbPort"), listed.adapter.usbPort},
        });
    }
    QJsonArray withoutPort;
    for (const TUsbAdapter& adapter : report.adaptersWithoutPort) {
        withoutPort.append(QJsonObject{{QStringLiteral("name"), adapter.name},
                                       {QStringLiteral("vendorProduct"), adapter.vendorProduct}});
    }
    const QJsonObject root{{QStringLiteral("ports"), ports},
                           {QStringLiteral("adaptersWithoutPort"), withoutPort}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

QStringList AdapterWithoutPortNotes(const PortReport& report) {
    QStringList notes;
    for (const TUsbAdapter& adapter : report.adaptersWithoutPort)
        notes << BuiltInMessageText(Msg::AdapterWithoutPort) + adapter.name + QStringLiteral(" (") +
                     adapter.vendorProduct + u')';
    return notes;
}
