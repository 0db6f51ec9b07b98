#pragma once
// "Which unit is this?": asked beside the window, without blocking it, when
// the unit just read is not clearly one of the units known by name. The known
// units that could be it (name, last seen, firmware, reboots, values
// differing from its newest point) and a new unit with a name the user types.
// The answer goes to the recognizer; "Later" leaves the question open (the
// "Unit:" line brings it back) and no point is filed meanwhile.
#include <QDialog>

class TFormMain;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class UnitRecognizer;

class UnitQuestion : public QDialog {
    Q_OBJECT
  public:
    UnitQuestion(TFormMain& form, UnitRecognizer& recognizer);

    // The recognizer's question anew, in the language in use, and shown.
    void Ask();
    // Texts in the language in use.
    void UpdateTexts();

    // What the user can do, for the tests as for the mouse.
    int CandidateCount() const;
    QString CandidateKey(int row) const;
    void PickCandidate(int row);
    void PickNewUnit(const QString& name);
    // "This unit": the choice goes to the recognizer; a name it refuses is
    // said and the question stays.
    void Answer();

  private:
    void Fill();
    void UpdateButtons();

    TFormMain& form_;
    UnitRecognizer& recognizer_;
    QLabel* text_ = nullptr;
    QTreeWidget* candidates_ = nullptr;
    QRadioButton* newUnit_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPushButton* choose_ = nullptr;
    QPushButton* later_ = nullptr;
};
