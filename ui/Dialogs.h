#pragma once
// The one seam through which the window asks the user something: message
// boxes, the input box and the file dialogs. The program uses the Qt dialogs;
// tests install ScriptedDialogs, which records every question and answers from
// a script, so no person is needed.
#include "ui/Controls.h"

#include <QFlags>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn {
    mbYes = 0x1,
    mbNo = 0x2,
    mbOK = 0x4,
    mbCancel = 0x8,
    mbYesToAll = 0x10,
    mbNoToAll = 0x20,
};
Q_DECLARE_FLAGS(TMsgDlgButtons, TMsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgDlgButtons)

enum TModalResult {
    mrNone = 0,
    mrOK = 1,
    mrCancel = 2,
    mrYes = 6,
    mrNo = 7,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// The texts of the dialogs themselves, in the language in use: the captions
// of the buttons that carry the program's own texts, and the last line of a
// list cut short ("... and N more": ListAndMore + N + ListMore).
enum class DialogText { YesToAll, NoToAll, Cancel, ListAndMore, ListMore };
using DialogTextSource = std::function<QString(DialogText)>;
// Installs the source of those texts (the window, from its translation
// table); an empty source, or an empty text, leaves the Qt or English text.
void SetDialogTextSource(DialogTextSource source);
QString DialogTextOf(DialogText text);
// The caption the program gives Button; empty for a button that shows the
// dialog's own text.
QString ButtonCaption(TMsgDlgBtn button);

// What a file dialog is asked; Execute fills FileName on success.
struct FileDialogRequest {
    QString title;
    QString filter; // "Configuration|*.QCF|All files|*.*" or Qt's "Name (*.x)" form
    QString initialDir;
    QString fileName;
    QString defaultExt;
};

class IDialogs {
  public:
    virtual ~IDialogs() = default;
    // Shows Text with the application title as caption; the button pressed.
    virtual TModalResult MessageDlg(const QString& text, TMsgDlgType type,
                                    TMsgDlgButtons buttons) = 0;
    // True and Value set to the text typed; false when cancelled.
    virtual bool InputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
    // True and Request.fileName set when the user chose a file.
    virtual bool OpenFileDialog(FileDialogRequest& request) = 0;
    virtual bool SaveFileDialog(FileDialogRequest& request) = 0;
};

// The dialogs in use; the Qt ones unless a test installed others.
IDialogs& Dialogs();
// Installs Dialogs (not owned); nullptr restores the Qt dialogs.
void SetDialogs(IDialogs* dialogs);

// The input box: the typed text, or Default when the user cancels.
QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText);
// A message box with an OK button.
void ShowMessage(const QString& text, TMsgDlgType type = TMsgDlgType::mtInformation);
// A question with Yes and No buttons; true when the answer is Yes.
bool AskYesNo(const QString& question, TMsgDlgType type = TMsgDlgType::mtConfirmation);

// Every list shown inside a message goes through this: at most
// MessageListLines lines, each cut to MessageListLineLength characters and
// with its control characters (line breaks included) shown as "?". A
// longer list shows its first MessageListLines - 1 lines and then
// "... and N more" in the language in use, so a message always fits the screen.
constexpr int MessageListLines = 20;
constexpr int MessageListLineLength = 100;
QString MessageList(const QStringList& lines);

// Turns a filter of the form "Name|*.x|Other|*.y" into Qt's "Name (*.x);;Other (*.y)".
QString FileFilterToQt(const QString& filter);

class QtDialogs : public IDialogs {
  public:
    TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool OpenFileDialog(FileDialogRequest& request) override;
    bool SaveFileDialog(FileDialogRequest& request) override;
};

// Test double: every question is recorded; answers are taken from the queues
// in order. With an empty queue a message box answers mrCancel (or mrOK when it
// only has OK), the input box and file dialogs answer cancel.
class ScriptedDialogs : public IDialogs {
  public:
    struct Question {
        QString kind; // "message", "input", "open", "save"
        QString caption;
        QString text;
        TMsgDlgType type = TMsgDlgType::mtInformation;
        TMsgDlgButtons buttons = {}; // of a message box
    };
    std::vector<Question> asked;
    std::deque<TModalResult> messageAnswers;
    std::deque<std::pair<bool, QString>> inputAnswers;
    std::deque<QString> fileAnswers; // empty text = cancel

    TModalResult MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
    bool InputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool OpenFileDialog(FileDialogRequest& request) override;
    bool SaveFileDialog(FileDialogRequest& request) override;

  private:
    bool FileAnswer(FileDialogRequest& request);
};

// Installs a ScriptedDialogs for the life of the object.
class ScopedScriptedDialogs : public ScriptedDialogs {
  public:
    ScopedScriptedDialogs() { SetDialogs(this); }
    ~ScopedScriptedDialogs() override { SetDialogs(nullptr); }
    ScopedScriptedDialogs(const ScopedScriptedDialogs&) = delete;
    ScopedScriptedDialogs& operator=(const ScopedScriptedDialogs&) = delete;
};

// The file dialogs of the window as components (help context 2000); their
// filter, title and folder are set by whoever uses them.
class TFileDialogComponent : public QObject, public TComponent {
    Q_OBJECT
  public:
    using QObject::QObject;
    QString Filter;
    QString Title;
    QString InitialDir;
    QString FileName;
    QString DefaultExt;
    virtual bool Execute() = 0;

  protected:
    bool Run(bool save);
};

class TOpenDialog : public TFileDialogComponent {
    Q_OBJECT
  public:
    using TFileDialogComponent::TFileDialogComponent;
    bool Execute() override { return Run(false); }
};

class TSaveDialog : public TFileDialogComponent {
    Q_OBJECT
  public:
    using TFileDialogComponent::TFileDialogComponent;
    bool Execute() override { return Run(true); }
};
