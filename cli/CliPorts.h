#pragma once
// "quarventa-cli ports": the machine's serial ports as the window's port box
// lists them, with the adapters' friendly names, which of them auto-connect
// would take for a GCU and who each adapter is; and the known adapters the
// system gave no port.
#include "serial/PortListing.h"

#include <QString>
#include <vector>

struct ListedPort {
    TPresentPort port;
    TAdapterIdentity adapter;
    bool looksLikeGcu = false; // an auto-connect candidate
};

struct PortReport {
    std::vector<ListedPort> ports;
    std::vector<TUsbAdapter> adaptersWithoutPort;
};
PortReport CurrentPortReport();

// One line per port: path, "gcu" or "-", friendly name (columns aligned).
QString PortReportText(const PortReport& report);
// {"ports": [{"path", "name", "gcu", "vendorProduct", "usbSerial", "byId",
// "usbPort"}...], "adaptersWithoutPort": [{"name", "vendorProduct"}...]}
QString PortReportJson(const PortReport& report);
// The window's warning for each adapter without a port, one line each.
QStringList AdapterWithoutPortNotes(const PortReport& report);
