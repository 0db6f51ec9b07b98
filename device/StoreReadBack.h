#pragma once
// The check after storing: every value sent to the GCU in one transmission run
// against the value the GCU holds in the configuration read back afterwards,
// compared at the command's firmware precision (the decimals the value is sent
// with). Widget-free; the window reads the mismatches and shows them.
#include <QString>
#include <QStringList>
#include <QVector>
#include <map>
#include <optional>

class CommandTable;

struct ReadBackMismatch {
    int commandId = 0;
    QString command;     // the command word
    QString description; // the command's description
    double sentFW = 0.0;
    std::optional<double> heldFW; // empty: the read-back does not carry the command
};

// Whether two GCU values are the same at Digits decimals: written alike in a
// frame (the same rule the comparison and the change sequence use).
bool SameAtFirmwarePrecision(double a, double b, int digits);

// One transmission run: the values sent, then the values the GCU holds
// afterwards. Until the read-back came (SetHeldValues) nothing is verified.
class StoreReadBack {
  public:
    // A value sent in this run, in GCU units; a later one for the same command
    // replaces it.
    void RecordSent(int commandId, double valueFW);
    const std::map<int, double>& SentValues() const { return sent_; }
    bool NothingSent() const { return sent_.empty(); }

    // The values the GCU holds after the store, by command ID, in GCU units.
    void SetHeldValues(std::map<int, double> held) {
        held_ = std::move(held);
        readBack_ = true;
    }
    bool ReadBack() const { return readBack_; }
    const std::map<int, double>& HeldValues() const { return held_; }

    // The sent values the GCU does not hold, in command ID order (all of them
    // before the read-back came).
    QVector<ReadBackMismatch> Mismatches(const CommandTable& table) const;
    // Something was sent, the read-back came and the GCU holds every value sent.
    bool Verified(const CommandTable& table) const;

  private:
    std::map<int, double> sent_;
    std::map<int, double> held_;
    bool readBack_ = false;
};

// The values a dump gave the rows of Table (a copy the dump was applied to):
// every row with a dump position except the PCB version's.
std::map<int, double> DumpedValues(const CommandTable& table);

// One line per mismatch, "WORD - description: sent / held", in display units
// as the controls show them (with a decimal point where DecimalPoint);
// Missing stands for a value the read-back lacks.
// The window bounds the list when it shows it.
QStringList MismatchLines(const QVector<ReadBackMismatch>& mismatches, const CommandTable& table,
                          int rpmFactor, const QString& missing, bool decimalPoint = false);
