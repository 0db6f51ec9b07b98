// The window in the five languages with the shipped translation table: the
// language button of the Communication group, the toolkit's own stock buttons
// and file dialogs, and every text the program added beyond the designed
// window translated in every language.
#include "model/RecordFiles.h"
#include "support/WindowFixtures.h"
#include "translation/MessageNumbers.h"
#include "translation/TranslationTable.h"
#include "ui/LivePlots.h"
#include "util/StringGridModel.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

const QString ShippedTranslations = QStringLiteral(QV_SOURCE_DIR "/CFG/Translations.CSV");

// Texts the program added that a language writes as English does: names of
// quantities and units in every language (0), and words two languages share.
const std::pair<int, const char*> WrittenAsInEnglish[] = {
    {0, "TPS"},   {0, "RPM"},    {0, "\u00b1 ms"}, {3, "Pause"},
    {5, "Pause"}, {4, "Series"}, {2, "File..."},
};

bool WrittenAsInEnglishIn(int language, const QString& text) {
    for (const auto& [which, word] : WrittenAsInEnglish)
        if ((which == 0 || which == language) && text.trimmed() == QString::fromUtf8(word))
            return true;
    return false;
}

class Languages : public qvtest::WindowOnDataFolder {
  protected:
    void BeforeShow() override {
        ASSERT_TRUE(QFile::copy(ShippedTranslations, data.FilePath("CFG/Translations.CSV")));
    }
    bool FillsMessageTexts() const override { return false; } // the shipped table alone

    TButton& LanguageButton() const { return Button("BCommunicationLanguage"); }
    QList<QAction*> LanguageActions() const { return LanguageButton().menu()->actions(); }
    void Choose(int language) const { LanguageActions().at(language - 1)->trigger(); }
    StringGridModel& Table() const {
        return form->Control<TStringGrid>(QStringLiteral("SGTranslation")).Model();
    }
    // Every component's place in the window.
    QHash<QString, QRect> Geometries() const {
        // A layout request climbs one container per round of events.
        for (int round = 0; round < 8; ++round)
            QApplication::processEvents();
        QHash<QString, QRect> places;
        for (QObject* component : form->ComponentList()) {
            auto* widget = qobject_cast<QWidget*>(component);
            if (widget && widget != &LanguageButton() && widget->isVisible())
                places.insert(widget->objectName(),
                              QRect(widget->mapTo(form.get(), QPoint()), widget->size()));
        }
        return places;
    }
};

// The texts of the buttons of a message box the toolkit shows, read while it
// is open; the box is then closed.
QStringList StockButtonTexts() {
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons())
            texts << button->text().remove(u'&');
        box->done(0);
    });
    QtDialogs().MessageDlg(QStringLiteral("?"), TMsgDlgType::mtConfirmation, mbYes | mbNo | mbOK);
    return texts;
}

QString FileDialogLabel(const char* name) {
    QFileDialog dialog(nullptr, QString(), QDir::tempPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* label = dialog.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text().remove(u'&') : QString();
}

TEST_F(Languages, languageButtonOffersTheFiveByTheirOwnNames_andMovesNoControl) {
    QStringList names;
    for (QAction* action : LanguageActions())
        names << action->text();
    EXPECT_EQ(names, QStringList({"English", "Italiano", "Français", "Español", "Deutsch"}));
    auto& status = form->Control<TLabel>(QStringLiteral("LSerialCommunicationStatus"));
    const QStringList codes = {"EN", "IT", "FR", "ES", "DE"};
    for (int language : {5, 2, 3, 4, 1}) {
        SCOPED_TRACE(language);
        Choose(language);
        EXPECT_EQ(form->LanguageGLOB, language);
        EXPECT_EQ(LanguageButton().Caption(), codes[language - 1]);
        for (QAction* action : LanguageActions())
            EXPECT_EQ(action->isChecked(), action == LanguageActions()[language - 1]);
        // Whatever the status label says in this language, the button beside
        // it takes no room from any control.
        for (int message :
             {Msg::StatusConnected, Msg::StatusNotConnected, Msg::StatusReconnected}) {
            status.SetCaption(form->TranslateString(message));
            const QHash<QString, QRect> withButton = Geometries();
            LanguageButton().hide();
            const QHash<QString, QRect> withoutButton = Geometries();
            LanguageButton().show();
            QStringList moved;
            for (auto it = withoutButton.begin(); it != withoutButton.end(); ++it)
                if (withButton.value(it.key()) != it.value())
                    moved << it.key();
            moved.sort();
            EXPECT_TRUE(moved.isEmpty())
                << status.Caption().toStdString() << ": " << moved.join(' ').toStdString();
        }
    }
    EXPECT_EQ(form->size(), QSize(1200, 729));
}

TEST_F(Languages, stockButtonsAndFileDialogsFollowTheLanguage) {
    const QString englishLookIn = FileDialogLabel("lookInLabel");
    ASSERT_FALSE(englishLookIn.isEmpty());
    struct Expected {
        int language;
        QStringList buttons; // Yes, No, OK in the box's order
    };
    const Expected cases[] = {
        {5, {"Ja", "Nein", "OK"}},    {2, {"Sì", "No", "OK"}},  {3, {"Oui", "Non", "OK"}},
        {4, {"Sí", "No", "Aceptar"}}, {1, {"Yes", "No", "OK"}},
    };
    for (const Expected& expected : cases) {
        SCOPED_TRACE(expected.language);
        Choose(expected.language);
        QStringList shown = StockButtonTexts();
        QStringList wanted = expected.buttons;
        shown.sort();
        wanted.sort();
        EXPECT_EQ(shown, wanted);
        const QString lookIn = FileDialogLabel("lookInLabel");
        EXPECT_FALSE(lookIn.isEmpty());
        EXPECT_EQ(lookIn == englishLookIn, expected.language == 1) << lookIn.toStdString();
    }
}

// Switching through the five languages: every message the program added to
// the designed set (26 on) and every caption of the pages it added comes in
// the language, not empty and not the English text, unless it is a name or a
// number that every language writes alike.
TEST_F(Languages, everyAddedTextIsTranslatedInEveryLanguage) {
    QList<int> added;
    for (int n = 26; n <= TranslationLayout::MessageCount; ++n)
        if (!BuiltInMessageText(n).isEmpty())
            added << n;
    ASSERT_GT(added.size(), 50);
    QList<QObject*> addedControls;
    for (const char* page : {"TSLivePlots", "TSRestorePoints", "TSUnits"}) {
        QObject* root = form->FindComponent(QLatin1String(page));
        ASSERT_NE(root, nullptr) << page;
        for (QObject* component : form->ComponentList())
            for (QObject* up = component; up; up = up->parent())
                if (up == root && AsComponent(component)->Tag() == 0) {
                    addedControls << component;
                    break;
                }
    }
    ASSERT_GT(addedControls.size(), 10);
    const auto captionOf = [](QObject* component) -> QString {
        if (auto* label = qobject_cast<TLabel*>(component))
            return label->Caption();
        if (auto* button = qobject_cast<TButton*>(component))
            return button->Caption();
        if (auto* check = qobject_cast<TCheckBox*>(component))
            return check->Caption();
        if (auto* page = qobject_cast<TTabSheet*>(component))
            return page->Caption();
        if (auto* group = qobject_cast<TGroupBox*>(component))
            return group->Caption().trimmed();
        return QStringLiteral("-");
    };
    Choose(1);
    QHash<QObject*, QString> english;
    for (QObject* component : addedControls)
        english.insert(component, captionOf(component));

    for (int language = 2; language <= 5; ++language) {
        SCOPED_TRACE(LanguageTitle(language).toStdString());
        Choose(language);
        for (int n : added) {
            const QString text = form->TranslateString(n);
            const QString inEnglish = Table().Cell(LanguageColumn(1), MessageRow(n));
            EXPECT_FALSE(text.trimmed().isEmpty()) << "message " << n;
            if (!WrittenAsInEnglishIn(language, text)) {
                EXPECT_NE(text, inEnglish) << "message " << n << ": " << text.toStdString();
            }
        }
        for (QObject* component : addedControls) {
            const QString caption = captionOf(component);
            if (caption == QLatin1String("-") || english[component].isEmpty())
                continue;
            EXPECT_FALSE(caption.trimmed().isEmpty()) << component->objectName().toStdString();
            if (!WrittenAsInEnglishIn(language, caption)) {
                EXPECT_NE(caption, english[component])
                    << component->objectName().toStdString() << ": " << caption.toStdString();
            }
        }
    }
}

// The reasons and list lines the program adds to its messages come in the
// language in use, filled with their values.
TEST_F(Languages, detailPhrasesComeInTheLanguageInUse) {
    Choose(5);
    const auto german = [this](int message, const QStringList& values) {
        return FillPhrase(Table().Cell(LanguageColumn(5), MessageRow(message)), values);
    };
    // A record of a sequence file whose ID lies outside the table.
    TSequenceRecord record;
    record.CommandID = 201;
    record.Command = QStringLiteral("NOSUCHID");
    record.ActualValueSW = record.ActualValueFW = 1;
    record.Status = QStringLiteral("M");
    const QString sequence = data.FilePath(QStringLiteral("CFG/one.QSQ"));
    WriteSequenceFile(sequence, {record});
    dialogs.fileAnswers = {sequence};
    Button("BSequenceLoad").click();
    const QString leftOut = LeftOutReport();
    EXPECT_TRUE(leftOut.contains(german(Msg::PhraseLeftOutIdOutOfRange, {"1", "201", "NOSUCHID"})))
        << leftOut.toStdString();
    EXPECT_FALSE(leftOut.contains(QStringLiteral("outside"))) << leftOut.toStdString();

    // A file that is not a live recording.
    const QString notRecording = data.FilePath(QStringLiteral("notes.csv"));
    QFile file(notRecording);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("shopping list\n");
    file.close();
    dialogs.fileAnswers = {notRecording};
    Button("BLivePlotsOpen").click();
    // The file is read in the background.
    ASSERT_TRUE(qvtest::WaitFor([this] { return !form->Plots().Reading(); }));
    const QString refused = ShownStartingWith(Msg::LivePlotsNotARecording);
    EXPECT_TRUE(refused.endsWith(german(Msg::PhraseNotALiveRecording, {notRecording})))
        << refused.toStdString();
}

} // namespace
