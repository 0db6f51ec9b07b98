#include "device/RestorePointKeeper.h"

#include "device/DeviceFrames.h"
#include "translation/MessageNumbers.h"
#include "util/Exceptions.h"

#include <QDir>

RestorePointKeeper::RestorePointKeeper(UnitSession& session, Places places, QObject* parent)
    : QObject(parent), session_(session), places_(std::move(places)) {
    // The unit is decided before a point of its reading is taken: the
    // recognizer follows the session's events first.
    if (places_.userDataFolder) {
        recognizer_ = new UnitRecognizer(
            session_, UnitRecognizer::Places{places_.userDataFolder, places_.allowed}, this);
        connect(recognizer_, &UnitRecognizer::decided, this,
                [this](const QString& key) { WriteHeldPoints(key); });
        connect(recognizer_, &UnitRecognizer::failed, this, [this](const DetailPhrase& reason) {
            recognizerFailure_ = reason;
            Fail(reason);
        });
    }
    connect(&session_, &UnitSession::linkOpened, this, [this] {
        linkKey_.clear();
        recognizerFailure_ = DetailPhrase{};
        // Points of a unit the user never named are not filed under any.
        if (!held_.isEmpty()) {
            held_.clear();
            Fail(DetailPhrase{Msg::PhraseGcuNotTellableApart, {}});
        }
    });
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
        return {
            Msg::PhraseMalformedFromGcu,
            {outcome.malformedPhrase ? EnglishText(*outcome.malformedPhrase) : outcome.malformed}};
    if (outcome.wait == WaitResult::LinkLost)
        return {Msg::PhraseNoGcuConnected, {}};
    return {Msg::PhraseGcuSentNoConfiguration, {}};
}

void RestorePointKeeper::Fail(const DetailPhrase& reason) {
    lastFailure_ = reason;
    Q_EMIT failed(reason);
}

void RestorePointKeeper::Downloaded(const UnitReading& reading) {
    TakePoint(RestoreReason::Downloaded, reading);
}

// The session read the unit just before (when what it held may have changed).
void RestorePointKeeper::BeforeStore() {
    if (!session_.LinkOpen())
        return;
    if (session_.Unit()) {
        TakePoint(RestoreReason::BeforeStore, *session_.Unit());
        return;
    }
    if (session_.Router().Request() == RequestId::Live)
        Fail(DetailPhrase{Msg::PhraseGcuStreamingLive, {}});
    else
        Fail(WhyNotRead(session_.ReadBeforeWrite()));
}

void RestorePointKeeper::Stored(const UnitReading& reading, bool verified) {
    if (verified)
        TakePoint(RestoreReason::Stored, reading);
}

RestorePointKeeper::FirmwarePoint RestorePointKeeper::BeforeFirmwareUpdate() {
    const std::optional<UnitReading> reading = ReadingForPoint(true);
    // The reading decided which unit this is, when nothing did before.
    if (recognizer_)
        recognizer_->FirmwareUpdateStarting();
    if (!reading)
        return FirmwarePoint::NotRead;
    return TakePoint(RestoreReason::BeforeFirmwareUpdate, *reading) ? FirmwarePoint::Taken
                                                                    : FirmwarePoint::NotWritten;
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
                Fail(DetailPhrase{Msg::PhraseGcuStreamingLive, {}});
            return session_.Unit();
        }
        const ReadOutcome fresh = session_.ReadSilently();
        if (fresh.Ok())
            return fresh.reading;
        if (!session_.Unit()) {
            Fail(WhyNotRead(fresh));
            return std::nullopt;
        }
    }
    return session_.Unit();
}

QString RestorePointKeeper::ConnectedUnitKey() const {
    if (recognizer_)
        return session_.UnitKey();
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
    RestorePointContent content;
    content.time = QDateTime::currentDateTimeUtc();
    content.reason = reason;
    content.firmware = reading.firmware;
    content.pcb = reading.pcbText;
    content.reboots = reading.reboots;
    content.records = UnitConfigRecords(session_.Commands(), reading.pcbVersion, reading.values,
                                        session_.RPMFactor());
    QString key;
    if (recognizer_) {
        key = session_.UnitKey();
        if (key.isEmpty() && recognizer_->AskingWhich()) {
            // Filed once the user said which unit this is.
            held_.append(content);
            return true;
        }
        if (key.isEmpty()) {
            Fail(recognizerFailure_.message != 0 || !recognizerFailure_.values.isEmpty()
                     ? recognizerFailure_
                     : DetailPhrase{Msg::PhraseGcuNotTellableApart, {}});
            return false;
        }
    } else {
        UnitIdentity identity;
        identity.adapterSerial = session_.LinkIdentity().usbSerial;
        identity.adapterVendorProduct = session_.LinkIdentity().vendorProduct;
        identity.pcbVersion = reading.pcbText;
        identity.firmwareVersion = reading.firmware;
        key = UnitKey(identity);
        if (key.isEmpty()) {
            Fail(DetailPhrase{Msg::PhraseGcuNotTellableApart, {}});
            return false;
        }
    }
    return WritePoint(key, content);
}

void RestorePointKeeper::WriteHeldPoints(const QString& key) {
    const QVector<RestorePointContent> held = std::exchange(held_, {});
    for (const RestorePointContent& content : held)
        WritePoint(key, content);
}

bool RestorePointKeeper::WritePoint(const QString& key, const RestorePointContent& content) {
    const QString folder = FolderOf(key);
    DetailPhrase why;
    if (places_.allowed && !places_.allowed(folder, &why)) {
        Fail(why);
        return false;
    }
    try {
        RestorePointStore(folder).Take(content);
    } catch (const QvException& error) {
        Fail(error.Phrase() ? *error.Phrase() : DetailPhrase{0, {error.Message()}});
        return false;
    }
    linkKey_ = key;
    Q_EMIT pointTaken(folder);
    return true;
}
