#pragma once
// The main window. It owns every control (built from the inventory table), the
// timers, the dialogs, the serial-port object and the process-wide state, and
// its methods are the event handlers and the operations they call.
//
// Each area keeps its handlers in its own ui/UnitMain<Area>.cpp file: declare
// them below in a section of their own, attach the ones the layout fixes in
// WireLayoutHandlers (AttachHandler / AttachSpinButtonHandlers, so that errors
// reach the general error report), and add start-up steps to FormShow where
// its comments say. Controls are found by name: Control<TSpinEdit>("SE...")
// when the name must exist, Find<T> / FindComponent when it may not.
#include "device/ConnectionRules.h"
#include "device/FirmwareUpdate.h"
#include "device/LinkExchange.h"
#include "device/RestorePointKeeper.h"
#include "device/StoreReadBack.h"
#include "device/UnitSession.h"
#include "model/CommandTable.h"
#include "model/ConfigComparison.h"
#include "model/ParameterLimits.h"
#include "model/Sequence.h"
#include "model/SequenceController.h"
#include "model/SequenceLoading.h"
#include "model/UnitValues.h"
#include "model/WorkingCopy.h"
#include "serial/PortListing.h"
#include "serial/PortMonitor.h"
#include "serial/SerialPort.h"
#include "ui/Controls.h"
#include "ui/Dialogs.h"
#include "ui/Shortcuts.h"
#include "util/DetailPhrase.h"
#include "util/Exceptions.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

struct CalibrationStep;
struct InventoryItem;
class LivePlots;
class LiveSession;
struct ComponentTexts;
class RestorePointsPage;
class UnitQuestion;
class UnitsPage;

class TFormMain : public QWidget {
    Q_OBJECT
  public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // ------------------------------------------------------------ control registry
    // The component called Name, or nullptr.
    QObject* FindComponent(const QString& name) const { return byName_.value(name); }
    template <class T> T* Find(const QString& name) const {
        return qobject_cast<T*>(FindComponent(name));
    }
    // The component called Name, which must exist with kind T.
    template <class T> T& Control(const QString& name) const {
        T* found = Find<T>(name);
        if (!found)
            throw std::logic_error("no control " + name.toStdString());
        return *found;
    }
    // All components in creation order: containers and their controls depth
    // first, the non-visual components last.
    int ComponentCount() const { return int(components_.size()); }
    QObject* Components(int index) const { return components_.at(index); }
    const QList<QObject*>& ComponentList() const { return components_; }
    static QString ClassName(const QObject* component);
    // Pixel width of Text in Control's font.
    static int TextWidth(const QWidget* control, const QString& text);

    // ------------------------------------------------------------ window properties
    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    // Controls that follow the window show their hints only while this is on.
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);
    // The window sees every key press before the focused control does.
    bool KeyPreview() const { return true; }

    // ------------------------------------------------------------ the unit session
    // The window's side of the working copy: the rows' values into their
    // controls, colours, the page shown and the grid's selection
    // (ui/UnitMainSequence.cpp). It shows what the session tells it.
    class SequenceWindowView : public WorkingCopyView {
      public:
        explicit SequenceWindowView(TFormMain& form) : form_(form) {}
        void SetControlColor(const QString& controlType, const QString& controlName,
                             quint32 color) override;
        void WriteControlValues(const QVector<ControlValueWrite>& writes) override;
        int CurrentPageIndex() const override;
        void ShowPage(int pageIndex) override;
        void SetGridSelectedRow(int row) override;
        StringGridModel& SequenceGrid() override;
        void EnableControls() override;
        void ShowValues(const QVector<int>& ids) override;
        void ShowDerivedDisplays() override;
        // True while the program moves the grid's selection itself.
        bool movingSelection = false;

      private:
        TFormMain& form_;
    };
    SequenceWindowView SequenceWindow{*this};
    // What the unit holds, the working copy the pages show with its pending
    // changes, and the link: the window drives it and shows what it holds.
    UnitSession Session{SequenceWindow};

    // ------------------------------------------------------------ shared state
    // Shared-state names whose values live in the session's router: reading
    // one reads the router; setting the request to 27 (or back) switches
    // live routing on (or off).
    class RequestGlobal {
      public:
        explicit RequestGlobal(LinkRouter& router) : router_(router) {}
        operator int() const { return router_.Request(); }
        RequestGlobal& operator=(int requestId);

      private:
        LinkRouter& router_;
    };
    template <class T, T (LinkRouter::*Get)() const> class RouterGlobal {
      public:
        explicit RouterGlobal(const LinkRouter& router) : router_(router) {}
        operator T() const { return (router_.*Get)(); }

      private:
        const LinkRouter& router_;
    };
    class ReceivedTextGlobal {
      public:
        explicit ReceivedTextGlobal(const LinkRouter& router) : router_(router) {}
        operator QString() const { return router_.ReceivedText(); }

      private:
        const LinkRouter& router_;
    };

    CommandTable& Commands = Session.Commands();
    ChangeSequence& Sequence = Session.Sequence();
    SequenceController& SequenceRules = Session.Rules();
    int& SequenceActivePositionGLOB = Sequence.ActivePosition;
    bool& SilentActivePageChangeGLOB = Sequence.SilentActivePageChange;
    RequestGlobal SerialRequestGLOB{Session.Router()};
    bool SilentControlsEventsGLOB = false;
    RouterGlobal<bool, &LinkRouter::Waiting> SerialWaitingForResponseGLOB{Session.Router()};
    bool SerialConnectedGLOB = false;
    RouterGlobal<bool, &LinkRouter::InitCompleted> SerialInitCompletedGLOB{Session.Router()};
    ReceivedTextGlobal SerialRecievedStringGLOB{Session.Router()};
    int& RPMFactorGLOB = Session.RPMFactor();
    int& PCBVersionGLOB = Session.PCBVersion();
    int& PCBForceVersionGLOB = Session.PCBForceVersion();
    int LanguageGLOB = 0;

    // ------------------------------------------------------------ non-visual components
    TTimer* TimerConnection = nullptr;
    TTimer* TimerAutoConnect = nullptr;
    TTimer* TimerCalculateBarrelDegrees = nullptr;
    TSaveDialog* SaveDialog = nullptr;
    TOpenDialog* OpenDialog = nullptr;
    // Its receive, send, connect and disconnect slots are set by the device link.
    TSerialPort* SerialPort = nullptr;

    // ------------------------------------------------------------ window events
    // The start-up sequence; runs once, when the window is first shown.
    void FormShow(QObject* Sender);
    // The shortcuts; Key is left for the focused control.
    void FormKeyDown(QObject* Sender, int Key, Qt::KeyboardModifiers Shift,
                     Qt::MouseButtons Buttons);
    // Closing is always allowed; an open link is closed first.
    void FormCloseQuery(QObject* Sender, bool& CanClose);

    // Message N of the translation table in the current language.
    QString TranslateString(int StringIndex) const;
    // A detail phrase in the current language.
    QString PhraseText(const DetailPhrase& phrase) const;
    // Why an error happened, in the current language where the error has a
    // phrase, else its own text.
    QString ReasonText(const QvException& error) const;

    // ------------------------------------------------------------ commands page
    void BLoadCommandsClick(QObject* Sender);
    // Start-up's load of the command table. False when the file cannot serve
    // as the table: one message names the file, the line and what is wrong.
    bool LoadCommandTableAtStartUp();
    // Message 59 when the command table holds no command at all.
    void WarnIfCommandTableHoldsNothing();
    // Nothing is read from or sent to a GCU without a usable command table:
    // the link stays closed (no auto-connect, Connect does nothing).
    bool CommandTableUsable() const { return commandTableUsable_; }
    void BRefreshCommandsClick(QObject* Sender);
    void BSaveCommandsClick(QObject* Sender);

    // ------------------------------------------------------------ handler wiring
    using Handler = void (TFormMain::*)(QObject* Sender);
    // Attaches Handler to the main notification of Component (a button's,
    // check box's or radio group's click, a spin edit's or edit's change, a
    // timer's tick); the component is passed as Sender. Errors the handler
    // raises go to the general error report.
    void AttachHandler(QObject* component, Handler handler);
    void AttachHandler(const QString& name, Handler handler);
    void AttachSpinButtonHandlers(const QString& name, Handler up, Handler down);

    // ------------------------------------------------------------ binding and control state
    // Ties every control that shows a parameter to its command row: the
    // control gets the row's limits, default value, hint and the colour of a
    // value not yet read; the row learns its controls and their pages. Once,
    // at start-up.
    void AssignCommandsToControls();
    // The enabled states that follow from the link, live mode and the change
    // sequence, recomputed from the shared state on every call.
    void EnableControls();
    // The colour of a status letter; ActiveControl for the selected entry.
    static TColor GetStatusColor(const QString& Status, bool ActiveControl);
    // The hint of a control bound to command Id: "Id [WORD] description".
    static QString CommandHint(int id, const TCommandRecord& row);
    // Paints ControlName, whose class name is ControlType; a check box shows
    // the colour on its marker "S" + name, hidden while the colour is clWhite.
    void SetControlColor(const QString& ControlType, const QString& ControlName, TColor AColor);
    // The generic change and click handlers that the binding attaches to bound
    // controls without a handler of their own. The edit capture sets them
    // when the window is built (WireLayoutHandlers), before the binding runs.
    struct GenericHandlers {
        Handler spinEditChange = nullptr;
        Handler editChange = nullptr;
        Handler radioGroupClick = nullptr;
        Handler checkBoxClick = nullptr;
    };
    GenericHandlers BoundControlHandlers;

    // ------------------------------------------------------------ translation
    // The translation page's buttons: build a fresh table from the window's
    // texts, empty it (asks first), load and save CFG/Translations.CSV.
    void BCreateTranslationClick(QObject* Sender);
    void BEmptyTranslationClick(QObject* Sender);
    void BLoadTranslationClick(QObject* Sender);
    void BSaveTranslationClick(QObject* Sender);
    // The five language buttons: switches to the language that is Sender's
    // tag and stores the choice in the file at once.
    void BTranslateEnglishClick(QObject* Sender);
    // Start-up: loads the table and switches to the language marked in it.
    void LoadStandardTranslation();
    // Writes the table after a language switch; a failure is shown once.
    void StoreLanguageChoice(QObject* Sender);
    bool languageStoreFailureShown_ = false;
    bool translationFileUnusable_ = false; // start-up found it broken: never written
    // Every component as "Create" sees it, in component order.
    std::vector<ComponentTexts> WindowComponentTexts() const;
    // The connect button shows the closed link's caption, in English or in
    // the current language.
    bool LinkClosedCaptionShown() const;

    // ------------------------------------------- live telemetry, calibration, output tests
    // Live mode on or off as the check box "Active" now stands (also Ctrl+L,
    // and the pause of a calibration step).
    void CBLiveActiveClick(QObject* Sender);
    // One complete status line of the live stream, and when it arrived (now
    // when not known), as the receive handler
    // assembled it from the pieces.
    void GetLive(const QString& line, std::optional<SteadyTime> arrived = std::nullopt);
    // Prepares the live panel for "ACTIVE" or "INACTIVE"; any other text does nothing.
    void SetLiveControls(const QString& Status);
    // Status lines shown so far (measurements and tests count them).
    quint64 LiveLinesShown() const { return liveLinesShown_; }
    // Calibration steps: teach, ask, store and show the learned value.
    void BThrottlePositionSensorIdleSetClick(QObject* Sender);
    void BThrottlePositionSensorFullOpenSetClick(QObject* Sender);
    void BKartAxlePositionHighSetClick(QObject* Sender);
    void BKartAxlePositionLowSetClick(QObject* Sender);
    void BKartAxlePositionZeroSetClick(QObject* Sender);
    // All eight barrel "Set" buttons; the clicked button is the Sender.
    void BGearDetectionBarrelPositionRSetClick(QObject* Sender);
    // Output tests: one frame each, the duration from the test's spin edit.
    void BRecoveryOutputTestUpShiftTestClick(QObject* Sender);
    void BRecoveryOutputTestDownShiftTestClick(QObject* Sender);
    void BRecoveryOutputTestBlipperTestClick(QObject* Sender);
    void BRecoveryOutputTestEngineCutTestClick(QObject* Sender);
    void BRecoveryOutputTestLedTestClick(QObject* Sender);

    // ------------------------------------------------------------ live plots and recordings
    // The "Live Plots" page (ui/UnitMainLivePlots.cpp, drawn by ui/LivePlots):
    // record the stream to a CSV file in the user's data folder, replay one.
    // A recording ends when the user stops it, the link closes or is lost,
    // or the window closes; its last line says which.
    void BLivePlotsRecordClick(QObject* Sender);
    void BLivePlotsStopRecordingClick(QObject* Sender);
    void BLivePlotsOpenClick(QObject* Sender);
    void BLivePlotsShowLiveClick(QObject* Sender);
    void BLivePlotsOverlayFileClick(QObject* Sender);
    void BLivePlotsExportShiftsClick(QObject* Sender);
    LivePlots& Plots() const { return *livePlots_; }
    // The live stream over time (lines, gaps, shift times, the recorder),
    // fed by the link whichever page is in front.
    LiveSession& LiveData() { return Session.Live(); }
    // The folder recordings are offered in: "recordings" in the user's data folder.
    static QString RecordingsFolder();

    // ------------------------------------------------------------ device link
    // The link to the GCU lives in the session: its router holds the one
    // pending request and routes every received piece; its exchange asks and
    // waits (time-limited, with the hourglass) and sends through SerialPort;
    // the Serial...GLOB names read the router. Live mode:
    // Exchange().SwitchLive(on) (a request global set to 27 or back to 0 is
    // honoured too).
    LinkRouter& Router() { return Session.Router(); }
    LinkExchange& Exchange() { return Session.Exchange(); }
    // A run of entries sent one after the other (ui/UnitMainSequence.cpp).
    class EntryRun;
    // A request to the GCU awaits its answer (Get Config., a calibration step,
    // a transmission). Other requests do nothing meanwhile, so that none takes
    // the first one's answer.
    bool RequestPending() const { return Session.Busy(); }
    using RequestScope = UnitSession::Request;
    // Time limits of the waits (tests shorten them).
    void SetLinkLimits(const LinkExchange::Limits& limits);
    // Sends 8-bit text through the serial-port object; raises when not open.
    void SendFrame(const QByteArray& frame);
    // The same for the link's requests: a refused send means the link is gone
    // (ELinkGone), which the request reports as the link lost.
    void SendLinkFrame(const QByteArray& frame);
    // The serial-port object's events.
    void SerialPortReceive(TSerialPort* Sender, const QByteArray& Buffer);
    void SerialPortSend(TSerialPort* Sender, const QByteArray& Buffer);
    void SerialPortConnect(TSerialPort* Sender, TCommPort Port);
    void SerialPortDisconnect(TSerialPort* Sender, TCommPort Port);
    // The manual command line of the Commands page.
    void BSendClick(QObject* Sender);
    // Connect or disconnect the port shown in the box (also run by auto-connect,
    // the firmware update and closing). OpenLink / CloseLink are its two branches.
    void BSerialCommunicationConnectDisconnectClick(QObject* Sender);
    bool OpenLink(const QString& entry);
    void CloseLink();
    void SerialLoadComPorts();
    void TimerAutoConnectTimer(QObject* Sender);
    // Offers to read the configuration, 500 ms after the GCU announced itself.
    void TimerConnectionTimer(QObject* Sender);
    void BCommunicationGetConfigClick(QObject* Sender);
    // Applies a complete configuration dump (the download hands it over) and
    // tells the user; false when it could not be taken.
    bool GetConfig(const QString& AString);
    void BApplyConfigClick(QObject* Sender);
    // "[SAVEPRMT 0]" and the exclamation sound, then a moment for the GCU to
    // answer the store before anything else is asked (the session's store).
    WaitResult SaveCPUParameters();

    // ------------------------------------------------------------ parameter editing
    // Change capture: a bound control's edit becomes a pending change. Text
    // that is not a number is refused: the control shows its last valid value
    // again and message 34 says so.
    void SpinEditChange(QObject* Sender);
    void EditChange(QObject* Sender);
    // A field that is not bound but holds a number the program uses (the
    // output-test durations): the same not-a-number rule, nothing captured.
    void NumberFieldChange(QObject* Sender);
    // Ends the user's typing in any spin edit or edit (a button was pressed):
    // the text is held to the field's limits and its change handled. False
    // when a finished text was not a number (and so was refused).
    bool FinishTyping();
    void RadioGroupClick(QObject* Sender);
    void CheckBoxClick(QObject* Sender);
    // At most one of the two gearbox boxes is checked.
    void CBFunctionStrategiesBikeGearboxClick(QObject* Sender);
    void CBFunctionStrategiesKartGearboxClick(QObject* Sender);
    // What became of the last edit's values other than typed, beside the
    // pages' tabs (nothing modal); the text of one notice.
    void ShowEditNotices();
    QString EditNoticeText(const EditNotice& notice) const;
    // Where the shown values come from and how many changes are not yet in
    // the unit, beside the sequence's tab.
    void ShowOrigin();
    QString OriginText() const;
    // The RPM controls step by the RPM factor and hold the RPM limits it gives.
    void ShowRPMSteps();
    // Derived values: the working copy's rules on the values shown (the
    // values they change are captured as edits); the barrel degrees follow
    // the millivolt values shown.
    void SetRPMFactor();
    void CalculateRatioRPM();
    void CalculateBarrelDegrees();
    void TimerCalculateBarrelDegreesTimer(QObject* Sender);
    void SBERatiosRpmRPMLimiterUpClick(QObject* Sender);
    void SBERatiosRpmRPMLimiterDownClick(QObject* Sender);
    void SBERatiosRpmRPMRecoveryUpClick(QObject* Sender);
    void SBERatiosRpmRPMRecoveryDownClick(QObject* Sender);
    void SBSEInputsOutputsMinimumBatteryVoltageUpClick(QObject* Sender);
    void SBSEInputsOutputsMinimumBatteryVoltageDownClick(QObject* Sender);
    // Coupled timings: the actuation timeout is never shorter than the
    // pre-load time plus the engine-cut time.
    void SEUpShiftActuationPreLoadActuationTimeChange(QObject* Sender);
    void SEUpShiftEngineCutMainCutEngineCutTimeoutChange(QObject* Sender);
    void SEUpShiftActuationMainLoadActuationTimeoutChange(QObject* Sender);
    void SERecoveryUpShiftPreLoadActuationTimeChange(QObject* Sender);
    void SERecoveryUpShiftEngineCutEngineCutTimeChange(QObject* Sender);
    void SERecoveryUpShiftActuationActuationTimeChange(QObject* Sender);

    // ------------------------------------------------------------ change sequence
    void ClearSequenceRecord(int Index) { Sequence.Clear(Index); }
    void AddSequenceRecord(QObject* Sender, int ID, double ActualValue);
    void RevertToPreviousValueSequence(int ARow);
    void FillSGSequence();
    void UpdateSequenceControlsColor(int ActualRow);
    // Makes entry Row the active one (the grid's selection stays).
    void SGSequenceSelectCell(int Row);
    void SGSequenceDrawCell(QPainter* Canvas, int ACol, int ARow, const QRect& Rect);
    // Transmit waits for the GCU's answer with the link's time limit; an entry
    // it does not answer keeps its status and message 26 says so.
    void BSequenceTransmitClick(QObject* Sender);
    void BSequenceTransmitAllClick(QObject* Sender);
    void BSequenceDiscardClick(QObject* Sender);
    void BSequenceDiscardAllClick(QObject* Sender);
    void BSequenceEraseClick(QObject* Sender);
    void BSequenceEraseAllClick(QObject* Sender);
    // A value the frame guard refused: message 35 naming the parameter, the
    // value and its limits.
    void ReportValueOutOfLimits(const LimitRefusal& refusal);
    // What a transmission came to, told the user: the entries the GCU did not
    // answer, and after the store the read-back's outcome
    // (ui/UnitMainReadBack.cpp). True when the store is verified.
    bool ReportTransmission(const TransmitOutcome& outcome);
    // Closing with changes never sent asks first (message 31); true = close.
    bool ConfirmCloseWithPendingChanges();
    // The handlers of editing and of the sequence page; once, by WireLayoutHandlers.
    void WireEditingHandlers();
    void WireSequenceHandlers();

    // ------------------------------------------------------- configuration and sequence files
    // Configuration and sequence files (ui/UnitMainFiles.cpp): "Save Config."
    // and "Load Config." (*.QCF), "Save Sequence" and "Load Sequence" (*.QSQ),
    // offered in CFG/. A file that cannot be read changes nothing and is
    // reported (message 33); records a load leaves out are counted (message 32).
    void BSaveConfigClick(QObject* Sender);
    void BLoadConfigClick(QObject* Sender);
    void BSequenceSaveClick(QObject* Sender);
    void BSequenceLoadClick(QObject* Sender);
    void WireFileHandlers();
    // A control named in a file or a loaded entry, when the binding tied it to
    // that command with that kind; with the values it can show.
    BoundControlLookup BoundControls() const;
    // Values taken from a point or file, checked against the values that
    // follow from them; where they disagree the user chooses (nothing when
    // the user cancels). Loaded entries are checked the same way after a load.
    std::optional<QVector<TakenValue>> ResolveFollowingValues(QVector<TakenValue> values,
                                                              bool cancellable);
    void CheckLoadedFollowingValues();
    // Message 32 with the count and the bounded list of what was left out.
    void ReportLeftOutRecords(const QVector<LeftOutRecord>& leftOut);
    QString LeftOutRecordsText(const QVector<LeftOutRecord>& leftOut) const;

    // ------------------------------------------------------------ Firmware update
    // Firmware update (ui/UnitMainFirmware.cpp): an image picked in FW/ is
    // checked and, once confirmed, written into the GCU by avrdude while the
    // link is closed; the firmware page shows avrdude's output meanwhile. The
    // link is reopened on the same port however the run ends.
    void BRecoveryFirmwareUpdateClick(QObject* Sender);
    // Where avrdude is looked for and where its working folder is made. An
    // empty program folder stands for the program's folder at each click.
    FirmwareUpdateSettings FirmwareUpdateOptions;
    // True while an update runs (the window cannot be closed meanwhile).
    bool FirmwareUpdateRunning() const;
    void WireFirmwareHandlers();

    // ------------------------------------------------------------ restore points
    // The "Restore Points" page (ui/UnitMainRestorePoints.cpp, ui/RestorePointsPage):
    // the connected unit's points, taken after a download, before a
    // transmission is stored and before a firmware update, and the comparison
    // of unit, working copy and a point or file.
    RestorePointsPage& RestorePoints() const { return *restorePoints_; }
    // Takes the points as the session works with the unit; its failures are
    // shown once.
    RestorePointKeeper& PointKeeper() { return *pointKeeper_; }
    const RestorePointKeeper& PointKeeper() const { return *pointKeeper_; }
    void BRestorePointsRefreshClick(QObject* Sender);
    void BRestorePointsCompareFileClick(QObject* Sender);
    void BRestorePointsTakeClick(QObject* Sender);
    void BRestorePointsRestoreClick(QObject* Sender);
    void BRestorePointsExportClick(QObject* Sender);
    // The folder a comparison is offered to be exported in.
    static QString ComparisonsFolder();
    // The "Units" page (ui/UnitsPage): every unit known by name.
    UnitsPage& Units() const { return *units_; }

    // ------------------------------------------------------------ which unit is on the link
    // (ui/UnitMainUnits.cpp) The "Unit:" line beside the pages' tabs, the
    // question "Which unit is this?" (nullptr without a recognizer) and the
    // question before pending changes made for one unit go to another.
    UnitQuestion* UnitQuestionDialog() const { return unitQuestion_; }
    QString UnitOnLinkText() const;
    QString UnitFactsText(const UnitFacts& facts) const;
    // Asks whether pending changes made for one unit go to the one connected;
    // yes: they are now for it.
    bool ConfirmSendingToConnectedUnit(const OtherUnitOnLink& other);
    void ReportNotOnPcb(const QVector<int>& ids);

    // ------------------------------------------------------------ adapters that come and go
    // The adapter of the open link (serial number, by-id name, path, USB
    // socket); empty while the link is closed. Restore points and the like
    // key their records per unit on it.
    TAdapterIdentity LinkAdapter() const;
    // How long a vanished adapter is waited for (a GCU reset takes a few seconds).
    std::chrono::milliseconds ReconnectWindow{30000};
    // How long after a USB device appeared a missing port means another driver took it.
    int AdapterBindTime = 2000;

  Q_SIGNALS:
    // The window's texts are now in another language (pages of their own follow).
    void LanguageSwitched();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Gives the dialogs their translated texts (the first window only).
    void InstallDialogTexts();
    void BuildControls();
    QObject* CreateControl(const InventoryItem& item);
    void CreateNonVisualComponents();
    TSerialPort* CreateSerialPort();
    void Register(QObject* component, const QString& name);
    void WireLayoutHandlers();
    void RunShortcut(ShortcutAction action);
    void ClickLanguageButton(const char* name);
    // The language button of the Communication group: a menu of the five
    // languages by their own names; its caption is the code of the one in use.
    void WireLanguageChoice();
    void ShowLanguageChoice();
    void TellOfNewerShippedFiles();
    void ForceOrReleasePCBVersion();
    void ToggleTab(const char* pageName);
    bool IsFirstSightOfKey(QObject* receiver, const QEvent* event);

    QHash<QString, QObject*> byName_;
    QList<QObject*> components_;
    bool shown_ = false;
    bool showHint_ = true;
    const QEvent* lastKeyEvent_ = nullptr;
    QPointer<QObject> lastKeyReceiver_;
    // Live telemetry: the hourglass shown until the first status line arrives.
    bool liveHourglassShown_ = false;
    quint64 liveLinesShown_ = 0;
    void ShowLiveHourglass(bool shown);
    // Live mode on or off as the check box now stands (CBLiveActiveClick
    // without its guard; a calibration step pauses live mode with it).
    void SwitchLiveMode();
    void ShowLiveNumbersInactive();
    void RunCalibrationStep(QObject* button);
    void RunOutputTest(QObject* button);
    void BindOutputTestDurations();
    void WireCalibrationHandlers();
    void ShowLearnedValueAsRead(const CalibrationStep& step, double learnedFW);
    // Device link.
    static ResponseWaiter::BusyIndicator HourglassIndicator();
    void WireSerialPortEvents();
    void UnwireSerialPortEvents();
    bool TrafficLogShown() const;
    void AppendTrafficLog(const QString& line);
    QString WithOpenAdvice(const ESerialPortException& refused, const QString& entry) const;
    // Known USB serial chips that have no port (another driver took them) are
    // named with what to do (message 68). Each is named once while it stays
    // plugged in, unless Always (a Connect that found no port).
    void ReportAdaptersWithoutPort(bool always);
    QStringList adaptersWithoutPortShown_;
    // Open or closed link on the button, LED, status label and port box;
    // StatusMessage replaces the state's usual status text (0: none).
    void ShowLinkState(bool open, int statusMessage = 0);
    void ShowLinkStateTexts();
    int linkStatusMessage_ = 0;
    void ShowClosedLinkAndRefreshPorts();
    void LinkLost();
    void StopLiveWithoutSending();
    bool AutoConnectIdle() const;
    void DiscardSequenceForDownload();
    void ShowConfigurationInControls();
    void ShowCommandInControl(QObject* component, int id);
    // The values of the last download that lie outside their limits, by ID:
    // their controls show them marked.
    QMap<int, LimitRefusal> outsideLimits_;
    QString OutsideLimitsHint(int id) const;
    QVector<LeftOutRecord> DiscardUnfitLoadedEntries();
    void EndApplyConfig();
    AutoConnector autoConnector_;
    bool commandTableUsable_ = false;
    void StopLinkWithoutCommandTable();
    // Adapters that come and go (ui/UnitMainAdapters.cpp).
    void WatchPorts();
    void PortDeviceChanged(const QString& action, const QString& subsystem);
    bool AwaitLostAdapter(const QString& portPath);
    void TryReconnectLostAdapter();
    void ReconnectTimerTick();
    void StopAwaitingLostAdapter();
    void GiveUpOnLostAdapter();
    void ShowWholePortEntries();
    std::unique_ptr<PortMonitor> portMonitor_;
    QTimer* reconnectTimer_ = nullptr;
    TAdapterIdentity linkAdapter_;
    std::optional<TAdapterIdentity> lostAdapter_;
    QString lostEntry_;
    QElapsedTimer lostSince_;

    // Firmware update.
    QString ChooseFirmwareImage();
    FirmwareUpdateHooks FirmwareWindowHooks();
    void ShowFirmwarePage(bool shown);
    void CloseLinkForFirmwareUpdate();
    void ReopenLinkAfterFirmwareUpdate(const QString& portName);
    void ShowFirmwareProgress(const QString& chunk);
    QString AwaitAnnouncedFirmware();
    void ShowFirmwareResult(const FirmwareUpdateResult& result);
    bool offerToReadAfterFirmwareReport_ = false;
    bool firmwareUpdateRunning_ = false;
    quint64 noticeGeneration_ = 0;
    bool firmwareOutputEndsWithCR_ = false;
    // Which unit is on the link.
    void WireUnitHandlers();
    void ShowUnitOnLink();
    UnitQuestion* unitQuestion_ = nullptr; // a child of the window
    // Firmware update: the point before it, or the user's word to go without.
    bool KeepUnitBeforeFirmwareUpdate();
    // Restore points.
    void WireRestorePointsHandlers();
    RestorePointsPage* restorePoints_ = nullptr; // a child of the window
    RestorePointKeeper* pointKeeper_ = nullptr;  // a child of the window
    // The causes of point failures told on this connection.
    QStringList pointFailuresShown_;
    void TellPointFailure(const DetailPhrase& reason);
    bool pointFailuresQuiet_ = false;
    UnitsPage* units_ = nullptr; // a child of the window
    // Live plots and recordings.
    void WireLivePlotsHandlers();
    // The link ended (lost or closed): the live session notes the gap and
    // ends a recording; a file not written completely is reported.
    void LiveLinkEnded(bool lost);
    void EndLiveRecording(const char* reason);
    LivePlots* livePlots_ = nullptr; // a child of the window
};

// The limits to which a bound edit holds a typed value: the row's display limits.
std::optional<EditLimits> DisplayLimitsOf(const TCommandRecord& row);

// The one main window of the program.
extern TFormMain* FormMain;
