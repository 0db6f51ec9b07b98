// Fuzz target over everything that reads untrusted bytes in the model: the
// configuration and sequence record decoders (with the loading rules behind
// them), the commands file loader, and a script of edits, selections, discards,
// erases and transmit marks run against the sequence's invariants.
//
// The first input byte picks the mode; the rest is the payload.
#include "model/CommandTable.h"
#include "model/ParameterLimits.h"
#include "model/RecordFiles.h"
#include "model/SequenceController.h"
#include "model/SequenceLoading.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

class NullView : public SequenceView {
  public:
    void SetControlColor(const QString&, const QString&, quint32) override {}
    void WriteControlValues(const QVector<ControlValueWrite>&) override {}
    int CurrentPageIndex() const override { return page; }
    void ShowPage(int pageIndex) override { page = pageIndex; }
    void SetGridSelectedRow(int) override {}
    StringGridModel& SequenceGrid() override { return grid; }
    void EnableControls() override {}

    int page = 0;
    StringGridModel grid{6, 201};
};

void Require(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

// Rows shown by a radio group of two items; the others by a spin edit.
bool IsRadioRow(int id) {
    return id % 5 == 0;
}

// A table whose every row is a shown command, as after the binding.
CommandTable MakeBoundTable() {
    CommandTable table;
    for (int id = 1; id <= CommandCount; ++id) {
        TCommandRecord& r = table[id];
        r.ID = id;
        r.Command = QStringLiteral("C%1").arg(id);
        r.MeasureUnitFW = r.MeasureUnitSW = QStringLiteral("Nr");
        r.MinValueFW = r.MinValueSW = -40; // edits of -64 to 63.5 fall on both sides
        r.MaxValueFW = r.MaxValueSW = 40;
        r.DigitsValueSW = id % 3;
        r.DigitsValueFW = id % 4;
        if (id % 2 == 0) { // every other row has limits
            r.MinValueFW = r.MinValueSW = -100;
            r.MaxValueFW = r.MaxValueSW = 100;
        }
        r.SenderType = IsRadioRow(id) ? QStringLiteral("TRadioGroup") : QStringLiteral("TSpinEdit");
        r.SenderName1 = QStringLiteral("SE%1").arg(id);
        r.ActivePageIndex1 = 1 + id % 4;
        r.ActivePCB41 = QStringLiteral("1");
    }
    return table;
}

CommandTable BoundTable() {
    static const CommandTable table = MakeBoundTable();
    return table;
}

std::optional<BoundControl> IsBound(const QString& name, const QString& type, int id) {
    if (name != QStringLiteral("SE%1").arg(id))
        return std::nullopt;
    if (IsRadioRow(id))
        return type == QLatin1String("TRadioGroup") ? std::optional(BoundControl{2}) : std::nullopt;
    return type == QLatin1String("TSpinEdit") ? std::optional(BoundControl{}) : std::nullopt;
}

void CheckSequenceShape(const ChangeSequence& sequence) {
    const int count = sequence.Count();
    for (int i = count + 1; i <= SequenceCount; ++i)
        Require(sequence[i].CommandID <= 0, "occupied entries stand together");
    Require(sequence.ActivePosition >= 0 && sequence.ActivePosition <= SequenceCount,
            "active position inside the list");
}

// Every loaded entry is a command of the table with its word and a value the
// command takes.
void CheckLoadedEntries(const ChangeSequence& sequence, const CommandTable& table) {
    for (int i = 1; i <= sequence.Count(); ++i) {
        const TSequenceRecord& entry = sequence[i];
        Require(CommandTable::IsValidId(entry.CommandID), "entries name real commands");
        if (entry.Status != StatusLetter::Loaded)
            continue;
        Require(entry.Command == table[entry.CommandID].Command, "loaded word is the table's");
        Require(!LoadedEntryFault(table, entry, IsBound), "loaded entries pass the checks");
    }
}

void RoundTripCommand(const TCommandRecord& r) {
    const QByteArray once = EncodeCommandRecord(r);
    Require(once.size() == CommandRecordSize, "command record size");
    Require(EncodeCommandRecord(DecodeCommandRecord(once.constData())) == once,
            "command record round trip");
}

void RoundTripSequence(const TSequenceRecord& r) {
    const QByteArray once = EncodeSequenceRecord(r);
    Require(once.size() == SequenceRecordSize, "sequence record size");
    Require(EncodeSequenceRecord(DecodeSequenceRecord(once.constData())) == once,
            "sequence record round trip");
}

void FuzzConfigRecords(const QByteArray& bytes, int pcb) {
    const auto series = DecodeCommandRecords(bytes);
    Require(series.trailingBytes == bytes.size() % CommandRecordSize, "config trailing bytes");
    for (const TCommandRecord& r : series.records)
        RoundTripCommand(r);
    CommandTable table = BoundTable();
    ChangeSequence sequence;
    NullView view;
    SequenceController controller(sequence, table, view);
    controller.timeText = [] { return QStringLiteral("00.00.00"); };
    const ConfigLoadResult result = LoadConfiguration(controller, series, pcb, IsBound);
    Require(result.taken + result.notForPcb + result.leftOut.size() == series.records.size(),
            "every configuration record accounted for");
    Require(sequence.Count() == result.taken, "taken records are the entries");
    CheckSequenceShape(sequence);
    CheckLoadedEntries(sequence, table);
}

void FuzzSequenceRecords(const QByteArray& bytes, int answerSeed) {
    const auto series = DecodeSequenceRecords(bytes);
    Require(series.trailingBytes == bytes.size() % SequenceRecordSize, "sequence trailing bytes");
    for (const TSequenceRecord& r : series.records)
        RoundTripSequence(r);
    CommandTable table = BoundTable();
    ChangeSequence sequence;
    NullView view;
    SequenceController controller(sequence, table, view);
    controller.timeText = [] { return QStringLiteral("00.00.00"); };
    controller.AddSequenceRecord(5, 1.5); // something to replace
    const ChangeSequence before = sequence;
    int asked = 0;
    const SequenceLoadResult result =
        LoadSequence(controller, series, IsBound, [&](const ReplaceQuestion&) {
            return static_cast<ReplaceAnswer>((answerSeed + asked++) % 5);
        });
    Require(result.questionsAsked == asked, "questions counted");
    if (result.cancelled) {
        Require(sequence.Count() == before.Count() && sequence[1].CommandID == 5 &&
                    sequence[1].ActualValueSW == 1.5,
                "a cancelled load changes nothing");
    } else {
        Require(result.appended + result.replaced + result.keptOnNo + result.leftOut.size() >=
                    series.records.size(),
                "every sequence record accounted for");
    }
    CheckSequenceShape(sequence);
    CheckLoadedEntries(sequence, table);
}

void FuzzCommandsFile(const QByteArray& bytes) {
    static const QString path =
        QDir::tempPath() +
        QStringLiteral("/qv_fuzz_commands_%1.csv").arg(QCoreApplication::applicationPid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(bytes);
    file.close();
    StringGridModel grid(15, 201, 30);
    CommandTable table;
    try {
        LoadStringGridFromCSV(grid, path);
        LoadCommandsFromGrid(grid, table);
    } catch (const QvException&) {
        // A cell that is not a number is reported to the user; not a fault.
    }
    for (int id = 1; id <= CommandCount; ++id) {
        Require(table[id].Command.size() <= CommandTextCapacity::Command, "command word cut");
        Require(table[id].Hint.size() <= CommandTextCapacity::Hint, "hint cut");
    }
}

// Each step takes three bytes: operation, command ID, value. Long scripts add
// little but time, so they are cut.
constexpr qsizetype MaxScriptSteps = 100;

void FuzzEditScript(const QByteArray& script) {
    CommandTable table = BoundTable();
    ChangeSequence sequence;
    NullView view;
    SequenceController controller(sequence, table, view);
    controller.timeText = [] { return QStringLiteral("00.00.00"); };
    const qsizetype end = std::min(script.size(), 3 * MaxScriptSteps);
    for (qsizetype at = 0; at + 2 < end; at += 3) {
        const auto op = static_cast<uint8_t>(script[at]) % 8;
        const int id = 1 + static_cast<uint8_t>(script[at + 1]) % CommandCount;
        const double value = static_cast<int8_t>(script[at + 2]) / 2.0;
        const int row = 1 + static_cast<uint8_t>(script[at + 1]) % SequenceCount;
        switch (op) {
        case 0:
        case 1:
        case 2:
            controller.AddSequenceRecord(id, value);
            controller.FillSGSequence();
            Require(sequence[SequenceCount].CommandID == 0, "a capture leaves place 200 empty");
            break;
        case 3:
            controller.GridSelectCell(row);
            break;
        case 4:
            controller.SelectGridRow(row);
            controller.DiscardSelected();
            break;
        case 5:
            controller.SelectGridRow(row);
            controller.EraseSelected();
            break;
        case 6:
            try {
                if (!controller.TransmitFrameText(row).isEmpty())
                    controller.MarkTransmitted(row);
            } catch (const EValueOutOfLimits&) {
                const TSequenceRecord& refused = sequence[row];
                Require(IsPendingStatus(refused.Status), "only a pending entry is framed");
                Require(CheckFirmwareLimits(table[refused.CommandID], refused.ActualValueFW)
                            .has_value(),
                        "only a value outside its limits is refused");
            }
            break;
        case 7:
            controller.DiscardAll();
            break;
        }
        CheckSequenceShape(sequence);
        QSet<int> ids;
        for (int i = 1; i <= sequence.Count(); ++i) {
            Require(!ids.contains(sequence[i].CommandID), "one entry per command");
            ids.insert(sequence[i].CommandID);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QByteArray payload(reinterpret_cast<const char*>(data + 1),
                             static_cast<qsizetype>(size - 1));
    switch (data[0] % 4) {
    case 0:
        FuzzConfigRecords(payload, (data[0] & 0x80) ? 41 : 0);
        break;
    case 1:
        FuzzSequenceRecords(payload, data[0] >> 2);
        break;
    case 2:
        FuzzCommandsFile(payload);
        break;
    case 3:
        FuzzEditScript(payload);
        break;
    }
    return 0;
}
