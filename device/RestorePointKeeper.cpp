#include "device/RestorePointKeeper.h"

#include "device/DeviceFrames.h"
#include "translation/MessageNumbers.h"
#include "util/Exceptions.h"

#include <QDir>

RestorePointKeeper::RestorePointKeeper(UnitSession& session, Places places, QObject* parent)
    : QObject(parent), session_(session), places_(std::move(places)) {
    connect(&session_, &UnitSession::linkOpened, this, [this] { linkKey_.clear(); });
    connect(&session_, &UnitSession::unitRead, this,
            [this](ReadReason reason, const UnitReading& reading) {
                if (reason == ReadReason::Download)
                    Downloaded(reading);
            });
    connect(&session_, &UnitSession::aboutToWrite, this, [this] { BeforeStore(); });
    connect(&session_, &UnitSession::storeChecked, this,
            [this](const UnitReading& reading, bool verified) { Stored(reading, verified); });
}

DetailPhrase WhyNotRead(const ReadOutcome& outcome) {
    if (!outcome.malformed.isEmpty())
        return {Msg::PhraseMalformedFromGcu,
                {outcome.malformedPhrase ? EnglishText(*outcome.malformedPhrase)
                                         : outcome.malformed}};
    if (outcome.wait == WaitResult::LinkLost)
        return {Msg::PhraseNoGcuConnected, {}};
    return {Msg::PhraseGcuSentNoConfiguration, {}};
}

void RestorePointKeeper::Downloaded(const UnitReading& reading) {
    TakePoint(RestoreReason::Downloaded, reading);
}

void RestorePointKeeper::BeforeStore() {
    if (const std::optional<UnitReading> reading = ReadingForPoint(false))
        TakePoint(RestoreReason::BeforeStore, *reading);
}

void RestorePointKeeper::Stored(const UnitReading& reading, bool verified) {
    if (verified)
        TakePoint(RestoreReason::Stored, reading);
}

bool RestorePointKeeper::BeforeFirmwareUpdate() {
    if (const std::optional<UnitReading> reading = ReadingForPoint(true))
        return TakePoint(RestoreReason::BeforeFirmwareUpdate, *reading);
    return false;
}

// A reading of this link's unit: a fresh one when asked for or when the last
// one may be out of date, else the last one. A unit that does not answer
// leaves the last reading of this link, if there is one.
std::optional<UnitReading> RestorePointKeeper::ReadingForPoint(bool readFirst) {
    // Without a link there is no unit to keep (and nothing will be written to it).
    if (!session_.LinkOpen())
        return std::nullopt;
    if (readFirst || !session_.UnitCurrent()) {
        if (session_.Router().Request() == RequestId::Live) {
            if (!session_.Unit())
                Q_EMIT failed(DetailPhrase{Msg::PhraseGcuStreamingLive, {}});
            return session_.Unit();
        }
        const ReadOutcome fresh = session_.ReadSilently();
        if (fresh.Ok())
            return fresh.reading;
        if (!session_.Unit()) {
            Q_EMIT failed(WhyNotRead(fresh));
            return std::nullopt;
        }
    }
    return session_.Unit();
}

QString RestorePointKeeper::ConnectedUnitKey() const {
    if (!linkKey_.isEmpty())
        return linkKey_;
    if (!session_.LinkOpen())
        return {};
    UnitIdentity identity;
    identity.adapterSerial = session_.LinkIdentity().usbSerial;
    identity.adapterVendorProduct = session_.LinkIdentity().vendorProduct;
    if (session_.Unit()) {
        identity.pcbVersion = session_.Unit()->pcbText;
        identity.firmwareVersion = session_.Unit()->firmware;
    }
    return UnitKey(identity);
}

QString RestorePointKeeper::FolderOf(const QString& key) const {
    return places_.unitsFolder() + u'/' + key;
}

bool RestorePointKeeper::TakePoint(const QString& reason, const UnitReading& reading) {
    UnitIdentity identity;
    identity.adapterSerial = session_.LinkIdentity().usbSerial;
    identity.adapterVendorProduct = session_.LinkIdentity().vendorProduct;
    identity.pcbVersion = reading.pcbText;
    identity.firmwareVersion = reading.firmware;
    const QString key = UnitKey(identity);
    if (key.isEmpty()) {
        Q_EMIT failed(DetailPhrase{Msg::PhraseGcuNotTellableApart, {}});
        return false;
    }
    const QString folder = FolderOf(key);
    DetailPhrase why;
    if (places_.allowed && !places_.allowed(folder, &why)) {
        Q_EMIT failed(why);
        return false;
    }
    RestorePointContent content;
    content.time = QDateTime::currentDateTimeUtc();
    content.reason = reason;
    content.firmware = reading.firmware;
    content.pcb = reading.pcbText;
    content.reboots = reading.reboots;
    content.records = UnitConfigRecords(session_.Commands(), reading.pcbVersion, reading.values,
                                        session_.RPMFactor());
    try {
        RestorePointStore(folder).Take(content);
    } catch (const QvException& error) {
        Q_EMIT failed(error.Phrase() ? *error.Phrase() : DetailPhrase{0, {error.Message()}});
        return false;
    }
    linkKey_ = key;
    Q_EMIT pointTaken(folder);
    return true;
}
