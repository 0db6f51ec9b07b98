// Which unit is on the link, in the window: the "Unit:" line, the question
// when the unit just read is not clearly one of the units known by name, and
// the question before pending changes made for one unit go to another.
// Deciding is the recognizer's (device/UnitRecognizer), what may be sent the
// session's; the window shows and asks.
#include "device/UnitRecognizer.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/UnitMain.h"
#include "ui/UnitQuestion.h"

#include <QEvent>
#include <functional>

namespace {
const QString UnitLabelName = QStringLiteral("LUnitOnLink");

// Runs Refit whenever the watched widget changes its size.
class RefitOnResize : public QObject {
  public:
    RefitOnResize(QWidget* watched, std::function<void()> refit)
        : QObject(watched), refit_(std::move(refit)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            refit_();
        return false;
    }

  private:
    std::function<void()> refit_;
};

// The line on one line in the room beside the tabs: whole where it fits,
// else the name alone, shortened at its end where even that does not fit.
QString FittedUnitLine(const QLabel& label, const QString& text, const QString& name) {
    const QFontMetrics metrics = label.fontMetrics();
    const int room = label.width() - 2;
    if (room <= 0 || metrics.horizontalAdvance(text) <= room)
        return text;
    return metrics.elidedText(name.isEmpty() ? text : name, Qt::ElideRight, room);
}
} // namespace

void TFormMain::WireUnitHandlers() {
    connect(&Session, &UnitSession::unitKnownAsChanged, this, [this] { ShowUnitOnLink(); });
    connect(&Session, &UnitSession::linkClosed, this, [this] { ShowUnitOnLink(); });
    connect(this, &TFormMain::LanguageSwitched, this, [this] { ShowUnitOnLink(); });
    UnitRecognizer* recognizer = PointKeeper().Recognizer();
    if (!recognizer)
        return;
    unitQuestion_ = new UnitQuestion(*this, *recognizer);
    connect(recognizer, &UnitRecognizer::askingWhich, this, [this] {
        ShowUnitOnLink();
        unitQuestion_->Ask();
    });
    connect(&Session, &UnitSession::linkOpened, unitQuestion_, &QDialog::hide);
    if (auto* label = Find<TLabel>(UnitLabelName)) {
        label->setWordWrap(false);
        new RefitOnResize(label, [this] { ShowUnitOnLink(); });
        // While the question waits, the line brings it back.
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        label->setOpenExternalLinks(false);
        connect(label, &QLabel::linkActivated, this, [this] {
            if (PointKeeper().Recognizer()->AskingWhich())
                unitQuestion_->Ask();
        });
    }
    ShowUnitOnLink();
}

// Only while the link is open: a unit that is gone is no unit on the link.
QString TFormMain::UnitOnLinkText() const {
    if (!Session.LinkOpen())
        return {};
    if (!Session.UnitName().isEmpty())
        return TranslateString(Msg::UnitOnLink).arg(Session.UnitName());
    const UnitRecognizer* recognizer = PointKeeper().Recognizer();
    if (!recognizer || !recognizer->AskingWhich())
        return {};
    return TranslateString(Msg::UnitOnLink)
        .arg(TranslateString(Msg::UnitUnknownTexts).split(u'|').value(2));
}

void TFormMain::ShowUnitOnLink() {
    auto* label = Find<TLabel>(UnitLabelName);
    if (!label)
        return;
    const QString text = UnitOnLinkText();
    const bool asking = !text.isEmpty() && Session.UnitName().isEmpty();
    const QString shown = FittedUnitLine(*label, text, Session.UnitName());
    // The name is the user's own text, never markup.
    label->setTextFormat(asking ? Qt::RichText : Qt::PlainText);
    label->SetCaption(asking ? QStringLiteral("<a href=\"unit\">%1</a>").arg(shown.toHtmlEscaped())
                             : shown);
    label->setToolTip(text);
}

QString TFormMain::UnitFactsText(const UnitFacts& facts) const {
    const QStringList unknown = TranslateString(Msg::UnitUnknownTexts).split(u'|');
    if (!facts.read)
        return unknown.value(1);
    const QString name = facts.name.isEmpty() ? unknown.value(0) : facts.name;
    return TranslateString(Msg::UnitFacts)
        .arg(name, facts.pcb, facts.firmware,
             facts.reboots >= 0 ? QString::number(facts.reboots) : QString());
}

bool TFormMain::ConfirmSendingToConnectedUnit(const OtherUnitOnLink& other) {
    const QStringList lines = TranslateString(Msg::PendingForOtherUnit).split(u'|');
    const QString text = lines.value(0).arg(UnitFactsText(other.madeFor)) + u'\n' +
                         lines.value(1).arg(UnitFactsText(other.connected)) +
                         QStringLiteral("\n\n") + lines.value(2);
    if (!AskYesNo(text, TMsgDlgType::mtWarning))
        return false;
    Session.GoOnWithConnectedUnit();
    return true;
}

// The entries the connected unit's PCB has no parameter for, named.
void TFormMain::ReportNotOnPcb(const QVector<int>& ids) {
    if (ids.isEmpty())
        return;
    QStringList lines;
    for (const int id : ids) {
        if (!CommandTable::IsValidId(id))
            continue;
        QString line = u'[' + Commands[id].Command + u']';
        if (!Commands[id].Description.isEmpty())
            line += u' ' + Commands[id].Description;
        lines << line;
    }
    ShowMessage(TranslateString(Msg::NotOnPcbNotSent) + u'\n' + MessageList(lines),
                TMsgDlgType::mtWarning);
}
