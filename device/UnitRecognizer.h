#pragma once
// Decides which unit known by name is on the link, once per link, from its
// first complete reading (a download, a silent read or a read-back): one
// fitting unit is that unit; none of the known units could be it: a new unit
// with the next default name; several, or some that could be it without
// fitting: the user is asked (AskingWhich), and until the answer the unit on
// the link is known by no name. A firmware update keeps the unit: the reading
// after it on the reopened link is matched against the unit updated first.
// Widget-free: the window shows the question, the command-line front end may
// answer it as well.
#include "device/UnitSession.h"
#include "model/UnitRecognition.h"
#include "model/UnitRegistry.h"
#include "util/DetailPhrase.h"

#include <QObject>
#include <functional>
#include <optional>

class UnitRecognizer : public QObject {
    Q_OBJECT
  public:
    // UserDataFolder gives the folder that holds units/; a units folder it
    // refuses (Allowed false, with why) gets no unit.
    struct Places {
        std::function<QString()> userDataFolder;
        std::function<bool(const QString& folder, DetailPhrase* why)> allowed;
    };
    UnitRecognizer(UnitSession& session, Places places, QObject* parent = nullptr);

    // The question is open: which of Candidates() is the unit on the link,
    // or a new one.
    bool AskingWhich() const { return asking_; }
    const QVector<UnitCandidate>& Candidates() const { return candidates_; }
    // What the unit on the link said of itself, for the question.
    const UnitSighting& Sighting() const { return sighting_; }
    // The name a new unit gets when none is typed.
    QString NextDefaultName() const;
    // The answer: a known unit, or a new one named Name ("" for the next
    // default name). Raises EConvertError for a name the registry refuses
    // (the question stays open) and EInOutError.
    void Choose(const QString& key);
    void ChooseNew(const QString& name);

    // A firmware update of the unit on the link begins: after it, on the
    // next link, that unit is looked for first.
    void FirmwareUpdateStarting();

  Q_SIGNALS:
    // The unit on the link is now known as Key (its name is the session's).
    void decided(const QString& key);
    // None or several known units fit: the user is to choose.
    void askingWhich();
    // No unit could be filed: why.
    void failed(const DetailPhrase& reason);

  private:
    void Recognize(const UnitReading& reading);
    void Decide(const KnownUnit& unit);
    bool Allowed(DetailPhrase* why) const;
    UnitRegistry Registry() const;

    UnitSession& session_;
    Places places_;
    bool recognised_ = false; // this link's unit was decided (or could not be filed)
    bool asking_ = false;
    QVector<UnitCandidate> candidates_;
    UnitSighting sighting_;
    QString updatingKey_; // the unit a firmware update began on
    QString updatedKey_;  // on this link: the unit updated before it opened
};
