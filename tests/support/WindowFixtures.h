#pragma once
// Shared fixtures of the window tests.
//
// ProgramDataFolder: a temporary program folder holding a copy of the shipped
// CFG/Commands.CSV, made the program's folder for the fixture's life; a
// second temporary folder beside it stands for the per-user data folder
// meanwhile (as the real one, never below the program's folder).
//
// WindowOnDataFolder: the real main window started on such a folder, with the
// message texts of the translation table filled in and every dialog answered
// by script.
//
// WindowWithGcu: the same window with a simulated GCU on a pseudo-terminal,
// offered to auto-connect as an extra port. Override ConfigureGcu to change
// the simulator's options before it starts, ConfigureLimits for the link's
// time limits. StartAnotherUnit starts a second simulated unit on the same
// link path (another GCU behind the same socket).
#include "app/DemoMode.h"
#include "gcusim/GcuSimulator.h"
#include "translation/MessageNumbers.h"
#include "translation/TranslationTexts.h"
#include "ui/UnitMain.h"
#include "util/ProgramPaths.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace qvtest {

// ms; generous, so that a loaded machine does not fail a test that waits.
constexpr int Patience = 20000;

inline const QString ShippedTextsFolder = QStringLiteral(QV_SOURCE_DIR "/translation/texts");

// Copies the shipped command table into DataDir/CFG.
inline bool CopyShippedCommands(const QString& dataDir) {
    QDir(dataDir).mkpath(QStringLiteral("CFG"));
    return QFile::copy(QStringLiteral(QV_SOURCE_DIR "/CFG/Commands.CSV"),
                       dataDir + QStringLiteral("/CFG/Commands.CSV"));
}

// The message texts and captions of the text files, also while no
// translation file lies in the data folder.
inline void FillMessageTexts(TFormMain& form) {
    FillTranslationTableFromFolder(
        form.Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(), ShippedTextsFolder);
}

inline bool WaitFor(const std::function<bool()>& condition, int ms = Patience) {
    return QTest::qWaitFor(condition, ms);
}

// Runs Action from the event loop while a timer asks for the loop every 10 ms,
// and returns the longest time in ms between two of its ticks: how long the
// window did not answer while Action ran.
inline qint64 LongestPauseWhile(const std::function<void()>& action) {
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });
    ticker.start();
    bool done = false;
    QTimer::singleShot(20, [&] {
        action();
        done = true;
    });
    WaitFor([&] { return done; });
    QTest::qWait(50); // the first tick after the action ends its pause
    return longest;
}

// Every caption on Page shows whole: a button's text with its margins, a
// check box's and a group's as their style needs them.
inline void ExpectCaptionsWhole(QWidget& page) {
    for (QWidget* widget : page.findChildren<QWidget*>()) {
        if (!widget->isVisible())
            continue;
        if (auto* button = qobject_cast<TButton*>(widget)) {
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()) + 20)
                << widget->objectName().toStdString();
        } else if (qobject_cast<TCheckBox*>(widget) || qobject_cast<TGroupBox*>(widget)) {
            EXPECT_GE(widget->width(), widget->minimumSizeHint().width())
                << widget->objectName().toStdString();
        }
    }
}

class ProgramDataFolder {
  public:
    ProgramDataFolder() {
        valid_ = dir_.isValid() && userDir_.isValid() && CopyShippedCommands(dir_.path());
        SetProgramFolder(dir_.path());
        SetUserDataFolder(UserPath());
    }
    ~ProgramDataFolder() {
        SetProgramFolder(QString());
        SetUserDataFolder(QString());
    }
    ProgramDataFolder(const ProgramDataFolder&) = delete;
    ProgramDataFolder& operator=(const ProgramDataFolder&) = delete;

    bool IsValid() const { return valid_; }
    QString Path() const { return dir_.path(); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }
    QString UserPath() const { return userDir_.filePath(QStringLiteral("user")); }

  private:
    QTemporaryDir dir_;
    QTemporaryDir userDir_;
    bool valid_ = false;
};

class WindowOnDataFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(data.IsValid());
        form = std::make_unique<TFormMain>();
        BeforeShow();
        form->show();
        ASSERT_FALSE(form->SilentControlsEventsGLOB) << "start-up did not finish";
        if (FillsMessageTexts())
            FillMessageTexts(*form);
        dialogs.asked.clear();
    }
    void TearDown() override {
        if (form) {
            dialogs.messageAnswers = {mrYes}; // closing with unsent changes
            form->close();
        }
        form.reset();
    }
    // Runs after the window is made and before it is shown (start-up).
    virtual void BeforeShow() {}
    // False: the window keeps the texts of the data folder (none: the built-in English).
    virtual bool FillsMessageTexts() const { return true; }

    TSpinEdit& Spin(const char* name) const { return form->Control<TSpinEdit>(name); }
    TEdit& Edit(const char* name) const { return form->Control<TEdit>(name); }
    TCheckBox& Check(const char* name) const { return form->Control<TCheckBox>(name); }
    TButton& Button(const char* name) const { return form->Control<TButton>(name); }
    TStringGrid& Grid() const { return form->Control<TStringGrid>(QStringLiteral("SGSequence")); }
    TColor ColorOf(const char* name) const {
        return AsControl(form->FindComponent(QString::fromLatin1(name)))->Color();
    }
    const TSequenceRecord& Entry(int index) const { return form->Sequence[index]; }
    int EntryCount() const { return form->Sequence.Count(); }
    // The entry of command Id, or nullptr.
    const TSequenceRecord* EntryOf(int id) const {
        for (int i = 1; i <= EntryCount(); ++i)
            if (Entry(i).CommandID == id)
                return &Entry(i);
        return nullptr;
    }
    // The unit holds Value (display units) for command Id, as a download
    // leaves it: the row holds it as read and its controls show it.
    void UnitHolds(int id, double value) {
        UnitValues held;
        held.fw.insert(id, SWValueToFWValue(form->Commands, id, value, form->RPMFactorGLOB));
        form->Session.Working().TakeUnitValues(held);
    }
    int MessagesAsked() const { return int(dialogs.asked.size()); }
    // The texts of the message boxes shown, in order, without other dialogs.
    QStringList Messages() const {
        QStringList texts;
        for (const auto& q : dialogs.asked)
            if (q.kind == QLatin1String("message"))
                texts << q.text;
        return texts;
    }
    // The first message box that began with message N's text, or an empty text.
    QString ShownStartingWith(int message) const {
        const QString text = form->TranslateString(message);
        for (const QString& shown : Messages())
            if (shown.startsWith(text))
                return shown;
        return QString();
    }
    // A load's one report, which begins with message N and the file's name.
    bool Reported(int message, const QString& file) const {
        for (const QString& text : Messages())
            if (text.startsWith(form->TranslateString(message) + file))
                return true;
        return false;
    }
    // The part of a message that lists the records a load left out (message
    // 32 on), from the last message that has one.
    QString LeftOutReport() const {
        const QString heading = form->TranslateString(Msg::RecordsLeftOut);
        const QStringList texts = Messages();
        for (auto it = texts.crbegin(); it != texts.crend(); ++it)
            if (const qsizetype at = it->indexOf(heading); at >= 0)
                return it->mid(at);
        return {};
    }
    // How many questions began with message N's text.
    int TimesAsked(int message) const {
        const QString text = form->TranslateString(message);
        return int(std::count_if(dialogs.asked.begin(), dialogs.asked.end(),
                                 [&text](const auto& q) { return q.text.startsWith(text); }));
    }

    ProgramDataFolder data;
    ScopedScriptedDialogs dialogs;
    std::unique_ptr<TFormMain> form;
};

class WindowWithGcu : public WindowOnDataFolder {
  protected:
    void SetUp() override {
        ASSERT_TRUE(data.IsValid());
        GcuSimulatorOptions options;
        options.commandsFile = data.FilePath(QStringLiteral("CFG/Commands.CSV"));
        options.stateFile = data.FilePath(QStringLiteral("gcu-state.txt"));
        options.bootWindowMs = 200;
        ConfigureGcu(options);
        gcuOptions = options;
        gcu = std::make_unique<GcuSimulator>(options);
        port = gcu->start();
        // Units that follow one another on one path are offered by that path.
        if (!options.linkPath.isEmpty())
            port = options.linkPath;
        if (OfferedAsExtraPort())
            qputenv("GCU_EXTRA_PORTS",
                    ExtraPortsWith(QString(), port, QLatin1String(DemoAdapterName)).toLocal8Bit());
        WindowOnDataFolder::SetUp();
    }
    void TearDown() override {
        WindowOnDataFolder::TearDown();
        for (auto& unit : otherUnits)
            unit->stop();
        if (gcu)
            gcu->stop();
        qunsetenv("GCU_EXTRA_PORTS");
    }
    void BeforeShow() override {
        LinkExchange::Limits limits;
        limits.dump = std::chrono::milliseconds(2000);
        ConfigureLimits(limits);
        form->SetLinkLimits(limits);
    }
    virtual void ConfigureGcu(GcuSimulatorOptions&) {}
    // False: the simulated GCU's port is not listed as an extra port (a test
    // that offers it as a USB adapter of its own, see FakeDevices.h).
    virtual bool OfferedAsExtraPort() const { return true; }
    virtual void ConfigureLimits(LinkExchange::Limits&) {}

    TButton& ConnectButton() const {
        return form->Control<TButton>(QStringLiteral("BSerialCommunicationConnectDisconnect"));
    }
    TComboBox& PortBox() const {
        return form->Control<TComboBox>(QStringLiteral("CBSerialCommunicationComPort"));
    }
    bool Connected() const { return ConnectButton().Tag() == 1; }
    // Auto-connect finds the simulated GCU; the offer to read the
    // configuration (message 4) is answered with Answer.
    void AutoConnect(TModalResult answer) {
        dialogs.messageAnswers.push_back(answer);
        ASSERT_TRUE(WaitFor([this] { return Connected(); }));
        ASSERT_TRUE(WaitFor([this] { return TimesAsked(4) == 1; }));
    }
    // Auto-connect, then Yes to the offer; returns once the configuration
    // has been read and reported (message 17).
    void ConnectAndRead() {
        dialogs.messageAnswers.push_back(mrYes);
        ASSERT_TRUE(WaitFor([this] { return Connected(); }));
        ASSERT_TRUE(WaitFor([this] { return TimesAsked(17) == 1; }));
    }
    QList<QByteArray> FramesSince(int count) const { return gcu->ReceivedFrames().mid(count); }
    // Another unit with the first one's options (its own state file) changed
    // by Configure, publishing the same link path; started, and kept until
    // the test ends. Unplug the first one (HangUp) before, as a person would.
    GcuSimulator& StartAnotherUnit(const std::function<void(GcuSimulatorOptions&)>& configure) {
        GcuSimulatorOptions options = gcuOptions;
        options.stateFile =
            data.FilePath(QStringLiteral("gcu-state-%1.txt").arg(otherUnits.size() + 2));
        options.rebootCounter.reset();
        options.storedValues.clear();
        configure(options);
        otherUnits.push_back(std::make_unique<GcuSimulator>(options));
        otherUnits.back()->start();
        return *otherUnits.back();
    }

    std::unique_ptr<GcuSimulator> gcu;
    GcuSimulatorOptions gcuOptions;
    std::vector<std::unique_ptr<GcuSimulator>> otherUnits;
    QString port;
};

} // namespace qvtest
