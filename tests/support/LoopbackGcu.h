#pragma once
// A simulated GCU in the same process as the session it answers: the
// simulator's own parameter set and command processor, without a port or a
// thread. A frame the session sends is handled at once and its answer handed
// to the session's receive side before the send returns, so a whole
// download, transmission and read-back runs without waiting. Writes the unit
// refuses (a value outside its limits) are counted: nothing such may ever be
// sent. A unit can keep the old value of some commands, as a faulty unit does.
#include "device/UnitSession.h"
#include "gcusim/GcuCommandProcessor.h"
#include "gcusim/GcuParameterSet.h"
#include "gcusim/GcuRideModel.h"
#include "model/CommandTable.h"
#include "util/StringGridModel.h"

#include <QSet>
#include <QTime>
#include <memory>

namespace qvtest {

// The shipped command table, read once.
inline const CommandTable& ShippedCommandTable() {
    static const CommandTable table = [] {
        StringGridModel grid(CommandsFileColumnCount, CommandCount + 1);
        LoadStringGridFromCSV(grid, QStringLiteral(QV_SOURCE_DIR "/CFG/Commands.CSV"));
        CommandTable loaded;
        LoadCommandsFromGrid(grid, loaded);
        return loaded;
    }();
    return table;
}

class LoopbackGcu {
  public:
    explicit LoopbackGcu(const CommandTable& table,
                         const QString& pcbVersion = QStringLiteral("4.3"))
        : parameters_(table, pcbVersion), processor_(parameters_, ride_) {}

    // The session sends its frames here and receives the answers; the unit
    // announces Firmware.
    void Attach(UnitSession& session, const QByteArray& firmware = "5.0.9") {
        session_ = &session;
        session.SetSender([this](const QByteArray& frame) { Feed(frame); });
        session.LinkOpened(UnitLinkIdentity{QStringLiteral("/dev/loopback"), QString(), QString()});
        session.Receive("901 - Init OK\r\n900 - Versione Firmware: " + firmware + "\r\n",
                        QTime::currentTime(), false);
    }

    GcuParameterSet& Parameters() { return parameters_; }
    // Writes of these commands are answered, but the unit keeps the old value.
    QSet<int> keepOldValueOf;
    // Frames whose value the unit refused as outside its limits.
    int refusedWrites = 0;
    QList<QByteArray> frames;

  private:
    void Feed(const QByteArray& bytes) {
        for (const GcuFrame& frame : splitter_.Feed(bytes)) {
            frames << frame.raw;
            const std::optional<int> written =
                frame.wellFormed && frame.argument != QLatin1String("?")
                    ? parameters_.CommandIdOfWord(frame.word)
                    : std::nullopt;
            const double before =
                written ? parameters_.ValueOfCommand(*written).value_or(0.0) : 0.0;
            const GcuReply reply = processor_.Handle(frame);
            if (written && reply.text.startsWith("ERR"))
                ++refusedWrites;
            if (written && keepOldValueOf.contains(*written))
                parameters_.SetValue(*written, before);
            if (reply.saveRequested)
                parameters_.StorePermanently();
            if (!reply.text.isEmpty() && session_)
                session_->Receive(reply.text, QTime::currentTime(), false);
        }
    }

    GcuParameterSet parameters_;
    GcuRideModel ride_;
    GcuCommandProcessor processor_;
    GcuFrameSplitter splitter_;
    UnitSession* session_ = nullptr;
};

} // namespace qvtest
