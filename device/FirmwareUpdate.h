#pragma once
// The firmware update behind the "Firmware Update" button, without widgets:
// the window hands in what it does on screen and to the link as callbacks.
//
// Order of a run:
//   1. the image is checked; a bad one is refused with message 30 + reason;
//   2. avrdude is looked for; none found gives message 29 + "-1" + where it
//      was looked for;
//   3. confirmation (message 19, the image's full name, message 20); No stops.
//      Nothing has been closed or written up to here.
//   4. the firmware page is shown, the link closed, the working folder made
//      (configuration + FW.HEX), avrdude run with its output shown as it comes;
//   5. an exit code other than 0 gives message 29 + exit code + avrdude's
//      last lines;
//   end steps, also after a failure or an error in step 4 or 5: hide the
//   firmware page (back to the Recovery page), remove the working folder,
//   reopen the link if it was closed. An error from step 4 (for example a copy
//   that failed) is thrown on after the end steps, for the general error report.
//   6. after exit code 0 and the end steps: the GCU's announcement on the
//      reopened link is awaited, then message 21 reports what avrdude wrote
//      and verified and the firmware version before and after.
#include "translation/MessageNumbers.h"
#include "util/DetailPhrase.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Lines of avrdude's output quoted in the failure message.
constexpr int kFirmwareFailureLines = 8;

// Why an update was refused or failed, for message 29 or 30.
struct FirmwareFailure {
    std::optional<int> exitCode;        // message 29: avrdude's exit code (-1: it did not run)
    std::optional<DetailPhrase> reason; // the program's own words, where it has some
    QStringList programmerLines;        // avrdude's last lines, as it printed them
};
// The failure in English: the exit code, then the reason and avrdude's lines.
QString FirmwareFailureText(const FirmwareFailure& failure);

// What a good update did, as the report of message 21 tells it.
struct FirmwareUpdateResult {
    std::optional<int> bytesWritten;  // flash bytes avrdude reported written
    std::optional<int> bytesVerified; // flash bytes avrdude read back and compared
    QString versionBefore;            // the version the GCU announced before; empty when not known
    QString versionAfter;             // the version it announced afterwards; empty when it did not
};

struct FirmwareUpdateHooks {
    // Warning box with Yes and No: message 19 + imagePath + message 20.
    // True goes on. Unset: goes on.
    std::function<bool(const QString& imagePath)> confirmUpdate;
    // Shows the tab TSFirmwareUpdate and makes it the active page of PCMain.
    std::function<void()> showFirmwarePage;
    // Hides TSFirmwareUpdate and makes TSRecovery the active page of PCMain.
    std::function<void()> hideFirmwarePage;
    // The Connect/Disconnect handler while the link is open: closes it.
    std::function<void()> closeLink;
    // The Connect/Disconnect handler again: reopens the port still selected
    // (portName is the one the update used).
    std::function<void(const QString& portName)> reopenLink;
    // avrdude's output as it arrives, for the firmware page.
    std::function<void(const QString& chunk)> showProgress;
    // Hourglass cursor on (true) and off (false).
    std::function<void(bool busy)> setBusy;
    // Warning box with OK: message N (29 or 30) and the failure.
    std::function<void(int messageNumber, const FirmwareFailure& failure)> showMessage;
    // The firmware version the GCU announced on the open link; empty when none.
    std::function<QString()> announcedVersion;
    // After a good update, once the link is reopened: waits for the GCU to
    // announce itself and gives the version; empty when it did not in time.
    std::function<QString()> awaitAnnouncedVersion;
    // Information box with OK: message 21 and the result.
    std::function<void(const FirmwareUpdateResult& result)> showSuccess;
};

struct FirmwareUpdateSettings {
    // The program's folder: FW/avrdude/ below it may hold avrdude.
    QString programFolder;
    QString systemAvrdude = QStringLiteral("/usr/bin/avrdude");
    QString systemAvrdudeConfiguration = QStringLiteral("/etc/avrdude.conf");
    // Where the private working folder is made; empty: the system's temp folder.
    QString workFolderParent;
};

enum class FirmwareUpdateOutcome {
    ImageRefused,      // message 30; nothing touched
    ProgrammerMissing, // message 29; nothing touched
    Cancelled,         // No to the confirmation; nothing touched
    AlreadyRunning,    // a run is in progress (the wait keeps the window live)
    Updated,           // avrdude ended with 0; message 21 with the result
    Failed,            // avrdude did not start or ended otherwise; message 29
};

class FirmwareUpdater {
  public:
    FirmwareUpdater(FirmwareUpdateSettings settings, FirmwareUpdateHooks hooks);

    // Runs the whole update of the image at imagePath through the serial port
    // whose device path is portName (the open link's port). Errors of the
    // working folder are thrown (EInOutError) after the end steps have run.
    FirmwareUpdateOutcome Run(const QString& imagePath, const QString& portName);

    // The working folder of the last run that got that far (gone by now).
    const QString& LastWorkFolder() const { return lastWorkFolder_; }

  private:
    struct Progress;
    bool Prechecks(const QString& imagePath, Progress& progress);
    void Program(const QString& imagePath, const QString& portName, Progress& progress);
    void EndSteps(const QString& portName, Progress& progress);
    int RunAvrdude(const QString& workFolder, const QString& configuration, const QString& portName,
                   Progress& progress);
    void Report(int exitCode, Progress& progress);
    void ReportSuccess(Progress& progress);

    FirmwareUpdateSettings settings_;
    FirmwareUpdateHooks hooks_;
    QString lastWorkFolder_;
    bool running_ = false;
};
