// What the pages hold, said beside the tabs where it moves nothing: where the
// shown values come from (the table's defaults, the unit's values read at a
// time, a file applied or loaded) with the changes not yet in the unit, and,
// after an edit, what became of a value other than typed and why.
#include "translation/MessageNumbers.h"
#include "ui/UnitMain.h"
#include "util/UnitUtils.h"

#include <QFileInfo>
#include <QTimer>

namespace {

constexpr TColor NoticeColor = 0x00AAFFFF; // the pale colour of a change
constexpr int NoticeShownMs = 20000;

// The command word, short enough for the room beside the tab; the hint says more.
QString ParameterName(const TCommandRecord& row) {
    return u'[' + row.Command + u']';
}

QString ValueText(const TCommandRecord& row, double value) {
    QString text = RealToStrDec(value, std::max(0, row.DigitsValueSW));
    if (!row.MeasureUnitSW.isEmpty())
        text += u' ' + row.MeasureUnitSW;
    return text;
}

} // namespace

QString TFormMain::EditNoticeText(const EditNotice& notice) const {
    if (!CommandTable::IsValidId(notice.id))
        return {};
    const TCommandRecord& row = Commands[notice.id];
    const QString name = ParameterName(row);
    switch (notice.reason) {
    case EditNoticeReason::AboveMaximum:
        return TranslateString(Msg::NoticeAboveMaximum)
            .arg(name, ValueText(row, notice.given), ValueText(row, notice.became));
    case EditNoticeReason::BelowMinimum:
        return TranslateString(Msg::NoticeBelowMinimum)
            .arg(name, ValueText(row, notice.given), ValueText(row, notice.became));
    case EditNoticeReason::GcuStep:
        return TranslateString(Msg::NoticeGcuStep)
            .arg(name, ValueText(row, notice.given), ValueText(row, notice.became));
    case EditNoticeReason::CoupledTiming: {
        const QString cause =
            CommandTable::IsValidId(notice.causeId) ? ParameterName(Commands[notice.causeId]) : name;
        return TranslateString(Msg::NoticeCoupledTiming)
            .arg(name, ValueText(row, notice.given), ValueText(row, notice.became), cause);
    }
    case EditNoticeReason::Gearbox:
        return TranslateString(Msg::NoticeGearbox).arg(name);
    }
    return {};
}

// The notices of the last edit, until the next one or for a while; nothing
// modal, the user goes on typing.
void TFormMain::ShowEditNotices() {
    const QVector<EditNotice> notices = Session.Working().TakeNotices();
    QStringList texts;
    for (const EditNotice& notice : notices) {
        const QString text = EditNoticeText(notice);
        if (!text.isEmpty())
            texts << text;
    }
    auto& label = Control<TLabel>(QStringLiteral("LEditNotice"));
    const QString shown = texts.join(u' ');
    label.SetCaption(shown);
    QStringList hints;
    for (const EditNotice& notice : notices)
        if (CommandTable::IsValidId(notice.id))
            hints << EditNoticeText(notice) + QStringLiteral(" - ") + Commands[notice.id].Description;
    label.setToolTip(hints.join(u'\n'));
    // In the place of where the shown values come from, while it lasts.
    label.setVisible(!shown.isEmpty());
    label.raise();
    if (auto* origin = Find<TLabel>(QStringLiteral("LWorkingCopyOrigin")))
        origin->setVisible(shown.isEmpty());
    label.setAutoFillBackground(!shown.isEmpty());
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, ToQColor(NoticeColor));
    label.setPalette(palette);
    const quint64 shownNotice = ++noticeGeneration_;
    if (!shown.isEmpty())
        QTimer::singleShot(NoticeShownMs, this, [this, shownNotice] {
            if (shownNotice != noticeGeneration_)
                return;
            auto& expired = Control<TLabel>(QStringLiteral("LEditNotice"));
            expired.SetCaption(QString());
            expired.setToolTip(QString());
            expired.setAutoFillBackground(false);
            expired.setVisible(false);
            if (auto* origin = Find<TLabel>(QStringLiteral("LWorkingCopyOrigin")))
                origin->setVisible(true);
        });
}

QString TFormMain::OriginText() const {
    const ShownOrigin& origin = Session.Origin();
    QString shown;
    if (!origin.fromUnit) {
        shown = TranslateString(Msg::OriginDefaults);
    } else {
        const QString time = origin.readAt.toString(QStringLiteral("HH:mm:ss"));
        shown = origin.appliedFile.isEmpty()
                    ? TranslateString(Msg::OriginUnit).arg(time)
                    : TranslateString(Msg::OriginApplied)
                          .arg(time, QFileInfo(origin.appliedFile).fileName());
    }
    QStringList lines{shown};
    const int pending = Session.PendingChanges();
    if (pending > 0)
        lines << TranslateString(Msg::OriginPending).arg(pending);
    else if (origin.fromUnit)
        lines << TranslateString(Msg::OriginAllInUnit);
    if (!origin.loadedFile.isEmpty())
        lines << TranslateString(Msg::OriginLoaded).arg(QFileInfo(origin.loadedFile).fileName());
    return lines.join(u'\n');
}

void TFormMain::ShowOrigin() {
    auto* label = Find<TLabel>(QStringLiteral("LWorkingCopyOrigin"));
    if (!label)
        return;
    const QString text = OriginText();
    // Two short lines fit beside the tab; the whole text is in the hint.
    const QStringList lines = text.split(u'\n');
    label->SetCaption(lines.mid(0, 2).join(u'\n'));
    label->setToolTip(text);
}
