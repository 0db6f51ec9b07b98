#pragma once
// What the window benchmarks share: the program on a temporary copy of the
// built data folder, with the simulated GCU on a pseudo-terminal offered as an
// extra port for auto-connect.
#include "app/DemoMode.h"
#include "gcusim/GcuSimulator.h"
#include "util/ProgramPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace bench {

// The window draws offscreen unless a platform is named.
inline void PreferOffscreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The number of rounds the command line asks for, at least 1; Fallback without one.
inline int Rounds(int argc, char** argv, int fallback) {
    return argc > 1 ? std::max(1, atoi(argv[1])) : fallback;
}

class GcuOnDataFolder {
  public:
    GcuOnDataFolder() {
        QDir(data_.path()).mkpath(QStringLiteral("CFG"));
        QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/CFG/Commands.CSV"),
                    data_.filePath(QStringLiteral("CFG/Commands.CSV")));
        SetProgramFolder(data_.path());
        GcuSimulatorOptions options;
        options.commandsFile = CfgFolder() + QStringLiteral("/Commands.CSV");
        options.stateFile = data_.filePath(QStringLiteral("gcu-state.txt"));
        gcu_ = std::make_unique<GcuSimulator>(options);
        const QString port = gcu_->start();
        qputenv("GCU_EXTRA_PORTS",
                ExtraPortsWith(QString(), port, QLatin1String(DemoAdapterName)).toLocal8Bit());
    }
    GcuOnDataFolder(const GcuOnDataFolder&) = delete;
    GcuOnDataFolder& operator=(const GcuOnDataFolder&) = delete;

    GcuSimulator& Gcu() { return *gcu_; }

  private:
    QTemporaryDir data_;
    std::unique_ptr<GcuSimulator> gcu_;
};

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace bench
