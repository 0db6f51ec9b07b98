#include "ui/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {
IDialogs* installedDialogs = nullptr;
DialogTextSource dialogTextSource;

QtDialogs& DefaultDialogs() {
    static QtDialogs dialogs;
    return dialogs;
}
} // namespace

IDialogs& Dialogs() {
    return installedDialogs ? *installedDialogs : DefaultDialogs();
}

void SetDialogs(IDialogs* dialogs) {
    installedDialogs = dialogs;
}

QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText) {
    QString value = defaultText;
    return Dialogs().InputQuery(caption, prompt, value) ? value : defaultText;
}

void ShowMessage(const QString& text, TMsgDlgType type) {
    Dialogs().MessageDlg(text, type, mbOK);
}

bool AskYesNo(const QString& question, TMsgDlgType type) {
    return Dialogs().MessageDlg(question, type, mbYes | mbNo) == mrYes;
}

void SetDialogTextSource(DialogTextSource source) {
    dialogTextSource = std::move(source);
}

QString DialogTextOf(DialogText text) {
    return dialogTextSource ? dialogTextSource(text) : QString();
}

QString ButtonCaption(TMsgDlgBtn button) {
    switch (button) {
    case mbYesToAll:
        return DialogTextOf(DialogText::YesToAll);
    case mbNoToAll:
        return DialogTextOf(DialogText::NoToAll);
    case mbCancel:
        return DialogTextOf(DialogText::Cancel);
    case mbYes:
    case mbNo:
    case mbOK:
        break;
    }
    return QString();
}

QString MessageList(const QStringList& lines) {
    const qsizetype shown = lines.size() > MessageListLines ? MessageListLines - 1 : lines.size();
    QStringList kept;
    for (qsizetype i = 0; i < shown; ++i) {
        // One line stays one line: text from a file may hold line breaks and
        // other control characters.
        QString line = lines[i];
        for (QChar& c : line) {
            if (c.category() == QChar::Other_Control)
                c = u'?';
        }
        if (line.size() > MessageListLineLength)
            line = line.left(MessageListLineLength - 1) + QChar(0x2026);
        kept.append(line);
    }
    if (shown < lines.size()) {
        QString andMore = DialogTextOf(DialogText::ListAndMore);
        QString more = DialogTextOf(DialogText::ListMore);
        if (andMore.isEmpty() || more.isEmpty()) {
            andMore = QStringLiteral("\u2026 and ");
            more = QStringLiteral(" more");
        }
        kept.append(andMore + QString::number(lines.size() - shown) + more);
    }
    return kept.join(QLatin1Char('\n'));
}

QString FileFilterToQt(const QString& filter) {
    if (!filter.contains(u'|'))
        return filter;
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << parts[i] + QStringLiteral(" (") + patterns + u')';
    }
    return filters.join(QStringLiteral(";;"));
}

// ---------------------------------------------------------------- Qt dialogs

TModalResult QtDialogs::MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QApplication::applicationName());
    box.setText(text);
    // A message with a list is given the width its lines need, so that they
    // do not wrap and the box keeps the height the list is bounded to.
    if (text.count(u'\n') > 3)
        box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 640px; }"));
    switch (type) {
    case TMsgDlgType::mtWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case TMsgDlgType::mtError:
        box.setIcon(QMessageBox::Critical);
        break;
    case TMsgDlgType::mtInformation:
        box.setIcon(QMessageBox::Information);
        break;
    case TMsgDlgType::mtConfirmation:
        box.setIcon(QMessageBox::Question);
        break;
    case TMsgDlgType::mtCustom:
        break;
    }
    const std::pair<TMsgDlgBtn, QMessageBox::StandardButton> mapping[] = {
        {mbYes, QMessageBox::Yes}, {mbYesToAll, QMessageBox::YesToAll},
        {mbNo, QMessageBox::No},   {mbNoToAll, QMessageBox::NoToAll},
        {mbOK, QMessageBox::Ok},   {mbCancel, QMessageBox::Cancel}};
    for (const auto& [ours, theirs] : mapping) {
        if (!(buttons & ours))
            continue;
        QPushButton* button = box.addButton(theirs);
        if (const QString caption = ButtonCaption(ours); !caption.isEmpty())
            button->setText(caption);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::YesToAll:
        return mrYesToAll;
    case QMessageBox::No:
        return mrNo;
    case QMessageBox::NoToAll:
        return mrNoToAll;
    case QMessageBox::Ok:
        return mrOK;
    default:
        return mrCancel;
    }
}

bool QtDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value) {
    bool ok = false;
    const QString typed = QInputDialog::getText(QApplication::activeWindow(), caption, prompt,
                                                QLineEdit::Normal, value, &ok);
    if (ok)
        value = typed;
    return ok;
}

bool QtDialogs::OpenFileDialog(FileDialogRequest& request) {
    const QString start = request.fileName.isEmpty() ? request.initialDir
                                                     : request.initialDir + u'/' + request.fileName;
    const QString chosen = QFileDialog::getOpenFileName(QApplication::activeWindow(), request.title,
                                                        start, FileFilterToQt(request.filter));
    if (chosen.isEmpty())
        return false;
    request.fileName = chosen;
    return true;
}

bool QtDialogs::SaveFileDialog(FileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow(), request.title, request.initialDir,
                       FileFilterToQt(request.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(request.defaultExt);
    // A name typed without a suffix takes the one of the kind of file chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        static const QRegularExpression suffix(QStringLiteral("\\*\\.(\\w+)"));
        if (const QRegularExpressionMatch match = suffix.match(f); match.hasMatch())
            dialog.setDefaultSuffix(match.captured(1));
    });
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    request.fileName = dialog.selectedFiles().constFirst();
    return true;
}

// ---------------------------------------------------------------- scripted dialogs

TModalResult ScriptedDialogs::MessageDlg(const QString& text, TMsgDlgType type,
                                         TMsgDlgButtons buttons) {
    asked.push_back({QStringLiteral("message"), QString(), text, type, buttons});
    if (messageAnswers.empty())
        return buttons == TMsgDlgButtons(mbOK) ? mrOK : mrCancel;
    const TModalResult answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

bool ScriptedDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value) {
    asked.push_back({QStringLiteral("input"), caption, prompt});
    if (inputAnswers.empty())
        return false;
    const auto [ok, typed] = inputAnswers.front();
    inputAnswers.pop_front();
    if (ok)
        value = typed;
    return ok;
}

bool ScriptedDialogs::FileAnswer(FileDialogRequest& request) {
    if (fileAnswers.empty())
        return false;
    const QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (answer.isEmpty())
        return false;
    request.fileName = answer;
    return true;
}

bool ScriptedDialogs::OpenFileDialog(FileDialogRequest& request) {
    asked.push_back({QStringLiteral("open"), request.title, request.filter});
    return FileAnswer(request);
}

bool ScriptedDialogs::SaveFileDialog(FileDialogRequest& request) {
    asked.push_back({QStringLiteral("save"), request.title, request.filter});
    return FileAnswer(request);
}

// ---------------------------------------------------------------- dialog components

bool TFileDialogComponent::Run(bool save) {
    FileDialogRequest request{Title, Filter, InitialDir, FileName, DefaultExt};
    const bool chosen =
        save ? Dialogs().SaveFileDialog(request) : Dialogs().OpenFileDialog(request);
    if (chosen)
        FileName = request.fileName;
    return chosen;
}
