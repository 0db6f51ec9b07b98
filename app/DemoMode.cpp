#include "app/DemoMode.h"

#include "gcusim/GcuSimulator.h"
#include "util/Exceptions.h"
#include "util/ProgramPaths.h"

namespace {
constexpr const char* ExtraPortsVariable = "GCU_EXTRA_PORTS";
}

QString ExtraPortsWith(const QString& current, const QString& path, const QString& friendlyName) {
    const QString entry = path + u'=' + friendlyName;
    return current.isEmpty() ? entry : current + u';' + entry;
}

DemoGcu::DemoGcu() {
    if (!stateFolder_.isValid())
        throw EInOutError(QStringLiteral("Demo mode: no temporary folder for the simulated GCU."));
    GcuSimulatorOptions options;
    options.commandsFile = CfgFolder() + QStringLiteral("/Commands.CSV");
    options.pcbVersion = QStringLiteral("4.3");
    options.firmwareVersion = QStringLiteral("5.0.9");
    options.stateFile = stateFolder_.filePath(QStringLiteral("gcu-state.txt"));
    gcu_ = std::make_unique<GcuSimulator>(options);
    portPath_ = gcu_->start();
    const QString current = qEnvironmentVariable(ExtraPortsVariable);
    qputenv(ExtraPortsVariable,
            ExtraPortsWith(current, portPath_, QLatin1String(DemoAdapterName)).toLocal8Bit());
}

DemoGcu::~DemoGcu() {
    if (gcu_)
        gcu_->stop();
}
