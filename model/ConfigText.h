#pragma once
// The text form of a configuration (*.qvt, UTF-8): a header of "#" lines
// saying where the values come from, then one line per parameter in ID order,
//
//   MINVBATT = 10.5      # Minimum battery voltage ... [V], limits 6.0..16.0
//
// the value in display units with the command's display digits and always a
// decimal point. Read back, comments and blank lines are ignored, the order
// is free and a file may hold only the values to change: each value line
// becomes a configuration record of its command, and the records go through
// the loading rules of a configuration file (SequenceLoading), so a value
// that a configuration file could not carry is left out and reported with
// its line, never clamped.
#include "model/CommandTable.h"
#include "model/RecordFiles.h"
#include "model/SequenceLoading.h"

#include <QDateTime>
#include <QString>
#include <QVector>
#include <optional>

class SequenceController;

// The suffix of the text form ("qvt"); a file is taken as text by its suffix,
// whatever its letter case.
inline constexpr const char* ConfigTextSuffix = "qvt";
bool IsConfigTextFile(const QString& fileName);

// Where the values come from; what is not known is left out of the header.
struct ConfigTextHeader {
    QString program; // "quarventa 5.0.9"; the running program's when empty
    QDateTime time;  // written in UTC; now when not valid
    QString unitName;
    QString firmware;
    QString pcbVersion; // "4.3"
    std::optional<int> reboots;
};

// The text of Records (their ActualValueFW, in display units by Table's
// scaling) in ID order. Records whose ID has no command in Table are left
// out, as a value could not be named. RPM values are shown with the RPM
// factor of the records' own divisor and "x 2" where they hold them, else
// with the table's, and read back the same way.
QString ConfigText(const CommandTable& table, const QVector<TCommandRecord>& records,
                   const ConfigTextHeader& header);
// The rows "Save Config." writes for the PCB version, as text, to FileName
// (replaced only when every byte was written; EInOutError otherwise).
// Returns how many values were written.
int SaveConfigTextFile(const QString& fileName, const CommandTable& commands, int pcbVersion,
                       const ConfigTextHeader& header);

// The value lines of a text as configuration records: each a copy of its
// command's row in Table with the line's value (display units as written,
// GCU units scaled from it). Lines the text itself cannot give a value for
// are left out here: not a "WORD = value" line, a word that names no
// parameter, a value that is not a decimal number, a word given again.
struct ConfigTextRecords {
    RecordSeries<TCommandRecord> file;
    QVector<int> lines; // the line of each record, 1-based
    QVector<LeftOutRecord> leftOut;
    int valueLines = 0; // lines that are neither blank nor comment
};
ConfigTextRecords ParseConfigText(const QString& text, const CommandTable& table);

// A text file larger than this is not a configuration and is refused unread.
constexpr qint64 MaxConfigTextBytes = 1024 * 1024;
// Raises EInOutError when the file cannot be read, is too large or is not
// UTF-8 text.
ConfigTextRecords ReadConfigTextFile(const QString& fileName, const CommandTable& table);

// Loads the records as LoadConfiguration loads a configuration file's:
// they replace the sequence as "L" entries, those its rules refuse are left
// out. Record numbers of the result are the text's lines, and the lines the
// text itself refused are among the left out, all in line order.
ConfigLoadResult LoadConfigurationText(SequenceController& controller,
                                       const ConfigTextRecords& text, int pcbVersion,
                                       const BoundControlLookup& boundControl);
ConfigLoadResult LoadConfigurationTextFile(SequenceController& controller, const QString& fileName,
                                           int pcbVersion, const BoundControlLookup& boundControl);
