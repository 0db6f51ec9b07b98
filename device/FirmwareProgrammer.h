#pragma once
// The external AVR programmer avrdude: where it is found, the private folder it
// runs in, its command line, and the record of what it printed.
#include "util/DetailPhrase.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <optional>

// The open dialog that picks a firmware image.
inline const QString kFirmwareFileFilter = QStringLiteral("Quarventa Firmware File|*.HEX");
inline const QString kFirmwareDefaultExtension = QStringLiteral("HEX");
// The same filter as a file dialog of the window toolkit takes it. File names
// are case-sensitive here, so images named "*.hex" are offered as well.
inline const QString kFirmwareDialogFilter =
    QStringLiteral("Quarventa Firmware File (*.HEX *.hex)");
// The folder offered first: "FW/" below the program's folder.
QString FirmwareFolder(const QString& programFolder);

// The image's name inside the working folder; the command line names it
// relative to that folder.
inline const QString kFirmwareImageName = QStringLiteral("FW.HEX");
inline const QString kAvrdudeConfigurationName = QStringLiteral("avrdude.conf");

struct AvrdudeLocation {
    QString program;
    QString configuration;
    bool bundled = false; // true: the copy beside the program, not the system's
};

struct AvrdudeSearch {
    QString programFolder; // FW/avrdude/ below it is looked at first
    QString systemProgram = QStringLiteral("/usr/bin/avrdude");
    QString systemConfiguration = QStringLiteral("/etc/avrdude.conf");
};

// The avrdude to run: FW/avrdude/avrdude with FW/avrdude/avrdude.conf when the
// program's folder holds both (the program executable), otherwise the system's
// program and configuration when both exist; none when neither pair is there.
std::optional<AvrdudeLocation> LocateAvrdude(const AvrdudeSearch& search);
// Names the places LocateAvrdude looked at, for a report that none was found
// (in English for the log).
DetailPhrase AvrdudeSearchPhrase(const AvrdudeSearch& search);
QString DescribeAvrdudeSearch(const AvrdudeSearch& search);

// The arguments of an update: configuration, verbose output, part ATmega2560,
// programmer type wiring, the port's device path, 115200 baud, no chip erase,
// write the flash from FW.HEX (in the working folder) as Intel HEX.
QStringList AvrdudeArguments(const QString& configurationPath, const QString& portName);

// A new private folder (readable by its owner only) holding a copy of the
// programmer's configuration and the image as FW.HEX. The folder is removed
// with everything in it when the object goes, whatever happened in between.
class FirmwareWorkFolder {
  public:
    // Throws EInOutError when the folder cannot be made or a copy fails; no
    // folder is left behind then.
    FirmwareWorkFolder(const QString& configurationFile, const QString& imageFile,
                       const QString& parentFolder);
    FirmwareWorkFolder(const FirmwareWorkFolder&) = delete;
    FirmwareWorkFolder& operator=(const FirmwareWorkFolder&) = delete;

    QString Path() const { return folder_.path(); }
    QString ConfigurationPath() const;
    QString ImagePath() const;

  private:
    void CopyInto(const QString& source, const QString& name);

    QTemporaryDir folder_;
};

// avrdude's output as it arrived. Keeps a bounded tail, so a runaway program
// cannot fill the memory, and gives the last lines for a failure report.
class FirmwareOutputLog {
  public:
    void Append(const QString& chunk);
    const QString& Text() const { return text_; }
    // The last Count lines that hold more than blanks, oldest first.
    QStringList LastLines(int count) const;

  private:
    QString text_;
};

// What avrdude's output says it did with the flash: the bytes it wrote and the
// bytes it read back and found equal ("N bytes of flash written", "N bytes
// of flash verified"); none where it said nothing.
struct AvrdudeSummary {
    std::optional<int> bytesWritten;
    std::optional<int> bytesVerified;
};
AvrdudeSummary SummariseAvrdudeOutput(const QString& output);
