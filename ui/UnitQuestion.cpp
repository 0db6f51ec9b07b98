#include "ui/UnitQuestion.h"

#include "device/UnitRecognizer.h"
#include "translation/MessageNumbers.h"
#include "ui/Dialogs.h"
#include "ui/ErrorReport.h"
#include "ui/UnitMain.h"
#include "ui/UnitsPage.h"
#include "util/ProgramPaths.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Name, last seen, firmware, reboots, values differing.
constexpr int ColumnWidths[] = {190, 120, 70, 70, 110};

QString LocalTimeText(const QDateTime& time) {
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"))
                          : QString();
}

} // namespace

UnitQuestion::UnitQuestion(TFormMain& form, UnitRecognizer& recognizer)
    : QDialog(&form, Qt::Dialog), form_(form), recognizer_(recognizer) {
    setObjectName(QStringLiteral("UnitQuestion"));
    setModal(false);
    setWindowModality(Qt::NonModal);
    resize(640, 330);

    text_ = new QLabel(this);
    text_->setWordWrap(true);
    candidates_ = new QTreeWidget(this);
    candidates_->setRootIsDecorated(false);
    candidates_->setColumnCount(int(std::size(ColumnWidths)));
    candidates_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int col = 0; col < candidates_->columnCount(); ++col)
        candidates_->setColumnWidth(col, ColumnWidths[col]);
    newUnit_ = new QRadioButton(this);
    name_ = new QLineEdit(this);
    name_->setMaxLength(UnitRegistry::MaxNameLength);
    choose_ = new QPushButton(this);
    choose_->setDefault(true);
    later_ = new QPushButton(this);

    auto* newRow = new QHBoxLayout;
    newRow->addWidget(newUnit_);
    newRow->addWidget(name_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(choose_);
    buttons->addWidget(later_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(candidates_, 1);
    layout->addLayout(newRow);
    layout->addLayout(buttons);

    connect(candidates_, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!candidates_->selectedItems().isEmpty())
            newUnit_->setChecked(false);
        UpdateButtons();
    });
    connect(candidates_, &QTreeWidget::itemDoubleClicked, this,
            [this] { RunReported([this] { Answer(); }); });
    connect(newUnit_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            candidates_->clearSelection();
        UpdateButtons();
    });
    connect(name_, &QLineEdit::textEdited, this, [this] { newUnit_->setChecked(true); });
    connect(choose_, &QPushButton::clicked, this, [this] { RunReported([this] { Answer(); }); });
    connect(later_, &QPushButton::clicked, this, &QDialog::hide);
    connect(&recognizer_, &UnitRecognizer::decided, this, &QDialog::hide);
    connect(&form_, &TFormMain::LanguageSwitched, this, [this] { UpdateTexts(); });
}

void UnitQuestion::Ask() {
    Fill();
    show();
    raise();
}

void UnitQuestion::UpdateTexts() {
    setWindowTitle(form_.TranslateString(Msg::UnitOnLink)
                       .arg(form_.TranslateString(Msg::UnitUnknownTexts).split(u'|').value(2)));
    const UnitSighting& seen = recognizer_.Sighting();
    text_->setText(form_.TranslateString(Msg::UnitQuestion)
                       .arg(seen.pcb, seen.firmware,
                            seen.reboots >= 0 ? QString::number(seen.reboots) : QString()));
    candidates_->setHeaderLabels(form_.TranslateString(Msg::UnitQuestionTitles).split(u'|'));
    newUnit_->setText(form_.TranslateString(Msg::UnitQuestionNew));
    const QStringList buttons = form_.TranslateString(Msg::UnitQuestionButtons).split(u'|');
    choose_->setText(buttons.value(0));
    later_->setText(buttons.value(1));
}

void UnitQuestion::Fill() {
    candidates_->clear();
    for (const UnitCandidate& candidate : recognizer_.Candidates()) {
        auto* item = new QTreeWidgetItem(candidates_);
        item->setText(0, candidate.name);
        item->setText(1, LocalTimeText(candidate.lastSeen));
        item->setText(2, candidate.firmware);
        item->setText(3, candidate.reboots >= 0 ? QString::number(candidate.reboots) : QString());
        item->setText(4, candidate.differingValues >= 0 ? QString::number(candidate.differingValues)
                                                        : QStringLiteral("-"));
        item->setData(0, Qt::UserRole, candidate.key);
    }
    name_->setText(recognizer_.NextDefaultName());
    newUnit_->setChecked(false);
    UpdateTexts();
    UpdateButtons();
}

void UnitQuestion::UpdateButtons() {
    choose_->setEnabled(newUnit_->isChecked() || !candidates_->selectedItems().isEmpty());
}

int UnitQuestion::CandidateCount() const {
    return candidates_->topLevelItemCount();
}

QString UnitQuestion::CandidateKey(int row) const {
    const QTreeWidgetItem* item = candidates_->topLevelItem(row);
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

void UnitQuestion::PickCandidate(int row) {
    if (QTreeWidgetItem* item = candidates_->topLevelItem(row))
        candidates_->setCurrentItem(item);
}

void UnitQuestion::PickNewUnit(const QString& name) {
    name_->setText(name);
    newUnit_->setChecked(true);
}

void UnitQuestion::Answer() {
    if (newUnit_->isChecked()) {
        const QString name = UnitRegistry::NormalizedName(name_->text());
        const UnitNameProblem problem = UnitRegistry(UserDataFolder()).CheckName(name);
        if (problem != UnitNameProblem::None) {
            ShowMessage(form_.Units().NameProblemText(problem, name), TMsgDlgType::mtWarning);
            return;
        }
        recognizer_.ChooseNew(name);
        return;
    }
    const QList<QTreeWidgetItem*> picked = candidates_->selectedItems();
    if (!picked.isEmpty())
        recognizer_.Choose(picked.first()->data(0, Qt::UserRole).toString());
}
