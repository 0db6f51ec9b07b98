#include "device/UnitRecognizer.h"

#include "model/ConfigComparison.h"
#include "model/RestorePoints.h"
#include "model/UnitValues.h"
#include "translation/MessageNumbers.h"
#include "util/Exceptions.h"

#include <QDateTime>

UnitRecognizer::UnitRecognizer(UnitSession& session, Places places, QObject* parent)
    : QObject(parent), session_(session), places_(std::move(places)) {
    connect(&session_, &UnitSession::linkOpened, this, [this] {
        recognised_ = false;
        asking_ = false;
        candidates_.clear();
        // The link reopened after an update is the updated unit's, once.
        updatedKey_ = std::exchange(updatingKey_, QString());
    });
    connect(&session_, &UnitSession::unitRead, this,
            [this](ReadReason, const UnitReading& reading) { Recognize(reading); });
    connect(&session_, &UnitSession::storeChecked, this,
            [this](const UnitReading& reading, bool) { Recognize(reading); });
}

UnitRegistry UnitRecognizer::Registry() const {
    return UnitRegistry(places_.userDataFolder());
}

bool UnitRecognizer::Allowed(DetailPhrase* why) const {
    return !places_.allowed || places_.allowed(Registry().UnitsFolder(), why);
}

QString UnitRecognizer::NextDefaultName() const {
    return Registry().NextDefaultName();
}

void UnitRecognizer::FirmwareUpdateStarting() {
    updatingKey_ = session_.UnitKey();
}

void UnitRecognizer::Recognize(const UnitReading& reading) {
    if (recognised_ || asking_ || !session_.LinkOpen())
        return;
    recognised_ = true;
    sighting_ = UnitSighting{};
    sighting_.adapterSerial = session_.LinkIdentity().usbSerial;
    sighting_.adapterVendorProduct = session_.LinkIdentity().vendorProduct;
    sighting_.pcb = reading.pcbText;
    sighting_.firmware = reading.firmware;
    sighting_.reboots = reading.reboots;
    sighting_.time = QDateTime::currentDateTimeUtc();

    DetailPhrase why;
    if (!Allowed(&why)) {
        Q_EMIT failed(why);
        return;
    }
    FreshUnitReading fresh;
    fresh.adapterSerial = sighting_.adapterSerial;
    fresh.pcb = sighting_.pcb;
    fresh.firmware = sighting_.firmware;
    fresh.reboots = sighting_.reboots;
    // Compared as a point of it would hold the values.
    fresh.values = ColumnOfRecords(UnitConfigRecords(session_.Commands(), reading.pcbVersion,
                                                     reading.values, session_.RPMFactor()));
    fresh.updatedUnitKey = updatedKey_;
    try {
        UnitRegistry registry = Registry();
        const UnitRecognition recognition = RecognizeUnit(UnitsToRecognize(registry), fresh);
        if (recognition.recognised) {
            registry.Seen(recognition.key, sighting_);
            if (const std::optional<KnownUnit> unit = registry.Find(recognition.key))
                Decide(*unit);
            return;
        }
        if (recognition.candidates.isEmpty()) {
            // No known unit could be this one: a unit of its own, named by
            // default (the user renames it on the Units page).
            Decide(registry.Add(QString(), sighting_));
            return;
        }
        candidates_ = recognition.candidates;
    } catch (const QvException& error) {
        Q_EMIT failed(error.Phrase() ? *error.Phrase() : DetailPhrase{0, {error.Message()}});
        return;
    }
    recognised_ = false;
    asking_ = true;
    Q_EMIT askingWhich();
}

void UnitRecognizer::Decide(const KnownUnit& unit) {
    recognised_ = true;
    asking_ = false;
    candidates_.clear();
    session_.SetUnitKnownAs(unit.key, unit.name);
    Q_EMIT decided(unit.key);
}

void UnitRecognizer::Choose(const QString& key) {
    if (!asking_)
        return;
    UnitRegistry registry = Registry();
    registry.Seen(key, sighting_);
    const std::optional<KnownUnit> unit = registry.Find(key);
    if (!unit)
        throw EInOutError(QStringLiteral("No unit folder \"%1\"").arg(registry.FolderOf(key)));
    Decide(*unit);
}

void UnitRecognizer::ChooseNew(const QString& name) {
    if (!asking_)
        return;
    DetailPhrase why;
    if (!Allowed(&why))
        throw EInOutError(why);
    Decide(Registry().Add(name, sighting_));
}
