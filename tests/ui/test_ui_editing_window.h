#pragma once
// The main window for the editing and sequence tests: started on a copy of the
// shipped commands file in a temporary data folder, with the message texts of
// the translation table filled in and dialogs answered by script.
#include "translation/TranslationTexts.h"
#include "ui/ProgramPaths.h"
#include "ui/UnitMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class EditingWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        QDir(dataDir.path()).mkpath("CFG");
        ASSERT_TRUE(QFile::copy(QStringLiteral(QV_SOURCE_DIR "/CFG/Commands.CSV"),
                                dataDir.filePath("CFG/Commands.CSV")));
        SetProgramFolder(dataDir.path());
        form = std::make_unique<TFormMain>();
        form->show();
        ASSERT_FALSE(form->SilentControlsEventsGLOB) << "start-up did not finish";
        FillTranslationTableFromFolder(
            form->Control<TStringGrid>(QStringLiteral("SGTranslation")).Model(),
            QStringLiteral(QV_SOURCE_DIR "/translation/texts"));
        dialogs.asked.clear();
    }
    void TearDown() override {
        form.reset();
        SetProgramFolder(QString());
    }

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
    int MessagesAsked() const { return int(dialogs.asked.size()); }

    QTemporaryDir dataDir;
    ScopedScriptedDialogs dialogs;
    std::unique_ptr<TFormMain> form;
};
