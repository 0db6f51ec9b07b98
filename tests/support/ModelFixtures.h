#pragma once
// Model-level fixtures: the command table as shipped in CFG/Commands.CSV, and
// a sequence view that shows nothing, for tests of the sequence rules that do
// not look at the window.
#include "model/CommandTable.h"
#include "model/SequenceController.h"
#include "util/StringGridModel.h"

namespace qvtest {

inline CommandTable ShippedCommandTable() {
    StringGridModel grid(15, 201, 30); // the commands grid's design size
    LoadStringGridFromCSV(grid, QStringLiteral(QV_BINARY_DIR "/CFG/Commands.CSV"));
    CommandTable table;
    LoadCommandsFromGrid(grid, table);
    return table;
}

class NullSequenceView : public SequenceView {
  public:
    void SetControlColor(const QString&, const QString&, quint32) override {}
    void WriteControlValues(const QVector<ControlValueWrite>&) override {}
    int CurrentPageIndex() const override { return 0; }
    void ShowPage(int) override {}
    void SetGridSelectedRow(int) override {}
    StringGridModel& SequenceGrid() override { return grid; }
    void EnableControls() override {}
    StringGridModel grid{6, 201};
};

} // namespace qvtest
