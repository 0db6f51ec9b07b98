#pragma once
// Demo mode: a simulated GCU runs in the program on a pseudo-terminal, listed
// among the ports under an adapter name that auto-connect recognises, so the
// program can be tried without a unit.
#include <QString>
#include <QTemporaryDir>
#include <memory>

class GcuSimulator;

constexpr const char* DemoAdapterName = "Arduino Mega 2560 (simulated GCU)";

class DemoGcu {
  public:
    // Starts the simulated GCU with the commands file of CfgFolder and adds its
    // port to GCU_EXTRA_PORTS; raises with the reason when it cannot start.
    DemoGcu();
    ~DemoGcu(); // stops the simulated GCU
    DemoGcu(const DemoGcu&) = delete;
    DemoGcu& operator=(const DemoGcu&) = delete;

    QString PortPath() const { return portPath_; }

  private:
    QTemporaryDir stateFolder_;
    std::unique_ptr<GcuSimulator> gcu_;
    QString portPath_;
};

// GCU_EXTRA_PORTS with the entry "Path=FriendlyName" added to what it holds.
QString ExtraPortsWith(const QString& current, const QString& path, const QString& friendlyName);
