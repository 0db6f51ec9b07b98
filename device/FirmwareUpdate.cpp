#include "device/FirmwareUpdate.h"
#include "device/LinkLogging.h"

#include "device/FirmwareImage.h"
#include "device/FirmwareProgrammer.h"
#include "util/ProcessUtils.h"

#include <QDir>
#include <exception>
#include <optional>

struct FirmwareUpdater::Progress {
    AvrdudeLocation avrdude;
    FirmwareOutputLog log;
    std::optional<FirmwareWorkFolder> workFolder;
    bool pageShown = false;
    bool linkClosed = false;
    FirmwareUpdateResult result;
    FirmwareUpdateOutcome outcome = FirmwareUpdateOutcome::Failed;
    std::exception_ptr error;
};

namespace {

template <typename Hook, typename... Args> void Call(const Hook& hook, Args&&... args) {
    if (hook)
        hook(std::forward<Args>(args)...);
}

// Clears a flag when the scope ends, however it ends.
class FlagHolder {
  public:
    explicit FlagHolder(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagHolder() { flag_ = false; }
    FlagHolder(const FlagHolder&) = delete;
    FlagHolder& operator=(const FlagHolder&) = delete;

  private:
    bool& flag_;
};

// Hourglass for the lifetime of the object.
class BusyCursor {
  public:
    explicit BusyCursor(const std::function<void(bool)>& setBusy) : setBusy_(setBusy) {
        Call(setBusy_, true);
    }
    ~BusyCursor() {
        try {
            Call(setBusy_, false);
        } catch (...) {
            // A cursor that stays an hourglass is no reason to stop the update.
        }
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    const std::function<void(bool)>& setBusy_;
};

// Runs one end step; its error is kept only when none came before, so the
// first failure is the one reported.
template <typename Step> void RunEndStep(std::exception_ptr& error, Step step) {
    try {
        step();
    } catch (...) {
        if (!error)
            error = std::current_exception();
    }
}

FirmwareFailure Failure(int exitCode, const QStringList& lastLines, const QString& program) {
    FirmwareFailure failure;
    failure.exitCode = exitCode;
    failure.programmerLines = lastLines;
    if (lastLines.isEmpty() && exitCode == -1)
        failure.reason = DetailPhrase{Msg::PhraseAvrdudeNotStarted, {program}};
    return failure;
}

} // namespace

FirmwareUpdater::FirmwareUpdater(FirmwareUpdateSettings settings, FirmwareUpdateHooks hooks)
    : settings_(std::move(settings)), hooks_(std::move(hooks)) {}

FirmwareUpdateOutcome FirmwareUpdater::Run(const QString& imagePath, const QString& portName) {
    if (running_)
        return FirmwareUpdateOutcome::AlreadyRunning;
    FlagHolder running(running_);
    Progress progress;
    if (!Prechecks(imagePath, progress))
        return progress.outcome;
    try {
        Program(imagePath, portName, progress);
    } catch (...) {
        progress.error = std::current_exception();
    }
    EndSteps(portName, progress);
    if (progress.outcome == FirmwareUpdateOutcome::Updated)
        RunEndStep(progress.error, [&] { ReportSuccess(progress); });
    if (progress.error)
        std::rethrow_exception(progress.error);
    return progress.outcome;
}

bool FirmwareUpdater::Prechecks(const QString& imagePath, Progress& progress) {
    const FirmwareImageCheck image = CheckFirmwareImageFile(imagePath);
    if (!image.valid) {
        Call(hooks_.showMessage, Msg::FirmwareImageInvalid,
             FirmwareFailure{std::nullopt, image.problemPhrase, {}});
        progress.outcome = FirmwareUpdateOutcome::ImageRefused;
        return false;
    }
    const AvrdudeSearch search{settings_.programFolder, settings_.systemAvrdude,
                               settings_.systemAvrdudeConfiguration};
    const std::optional<AvrdudeLocation> avrdude = LocateAvrdude(search);
    if (!avrdude) {
        qCWarning(lcFirmware).noquote() << "no programmer:" << DescribeAvrdudeSearch(search);
        Call(hooks_.showMessage, Msg::FirmwareUpdateFailed,
             FirmwareFailure{-1, AvrdudeSearchPhrase(search), {}});
        progress.outcome = FirmwareUpdateOutcome::ProgrammerMissing;
        return false;
    }
    progress.avrdude = *avrdude;
    if (hooks_.confirmUpdate && !hooks_.confirmUpdate(imagePath)) {
        progress.outcome = FirmwareUpdateOutcome::Cancelled;
        return false;
    }
    return true;
}

void FirmwareUpdater::Program(const QString& imagePath, const QString& portName,
                              Progress& progress) {
    progress.pageShown = true; // hidden again even if showing it fails half way
    Call(hooks_.showFirmwarePage);
    if (hooks_.announcedVersion)
        progress.result.versionBefore = hooks_.announcedVersion();
    Call(hooks_.closeLink);
    progress.linkClosed = true;
    const QString parent =
        settings_.workFolderParent.isEmpty() ? QDir::tempPath() : settings_.workFolderParent;
    progress.workFolder.emplace(progress.avrdude.configuration, imagePath, parent);
    lastWorkFolder_ = progress.workFolder->Path();
    const int exitCode = RunAvrdude(progress.workFolder->Path(),
                                    progress.workFolder->ConfigurationPath(), portName, progress);
    Report(exitCode, progress);
}

int FirmwareUpdater::RunAvrdude(const QString& workFolder, const QString& configuration,
                                const QString& portName, Progress& progress) {
    const BusyCursor busy(hooks_.setBusy);
    const QStringList arguments = AvrdudeArguments(configuration, portName);
    qCInfo(lcFirmware).noquote() << "running" << progress.avrdude.program << arguments.join(u' ')
                                 << "in" << workFolder;
    const auto onOutput = [&](const QString& chunk) {
        qCInfo(lcFirmware).noquote() << chunk.trimmed();
        progress.log.Append(chunk);
        try {
            Call(hooks_.showProgress, chunk);
        } catch (...) {
            // Showing progress must never interrupt a write in progress.
        }
    };
    const int exitCode = ShellExecuteAndWait(QStringLiteral("open"), progress.avrdude.program,
                                             arguments, workFolder, SW_HIDE_WINDOW, true, onOutput);
    qCInfo(lcFirmware) << "programmer ended with exit code" << exitCode;
    return exitCode;
}

void FirmwareUpdater::Report(int exitCode, Progress& progress) {
    if (exitCode == 0) {
        // Reported once the link is back and the GCU has announced itself.
        progress.outcome = FirmwareUpdateOutcome::Updated;
        const AvrdudeSummary summary = SummariseAvrdudeOutput(progress.log.Text());
        progress.result.bytesWritten = summary.bytesWritten;
        progress.result.bytesVerified = summary.bytesVerified;
        return;
    }
    progress.outcome = FirmwareUpdateOutcome::Failed;
    Call(
        hooks_.showMessage, Msg::FirmwareUpdateFailed,
        Failure(exitCode, progress.log.LastLines(kFirmwareFailureLines), progress.avrdude.program));
}

void FirmwareUpdater::EndSteps(const QString& portName, Progress& progress) {
    if (progress.pageShown)
        RunEndStep(progress.error, [&] { Call(hooks_.hideFirmwarePage); });
    RunEndStep(progress.error, [&] { progress.workFolder.reset(); });
    if (progress.linkClosed)
        RunEndStep(progress.error, [&] { Call(hooks_.reopenLink, portName); });
}

void FirmwareUpdater::ReportSuccess(Progress& progress) {
    // A link that was not reopened brings no announcement: nothing to await.
    if (progress.linkClosed && hooks_.awaitAnnouncedVersion)
        progress.result.versionAfter = hooks_.awaitAnnouncedVersion();
    qCInfo(lcFirmware).noquote() << "firmware before" << progress.result.versionBefore << "after"
                                 << progress.result.versionAfter;
    Call(hooks_.showSuccess, progress.result);
}

QString FirmwareFailureText(const FirmwareFailure& failure) {
    QStringList lines;
    if (failure.reason)
        lines << EnglishText(*failure.reason);
    lines << failure.programmerLines;
    QString text = failure.exitCode ? QString::number(*failure.exitCode) : QString();
    if (!text.isEmpty() && !lines.isEmpty())
        text += QStringLiteral("\n\n");
    return text + lines.join(u'\n');
}
