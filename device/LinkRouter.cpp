#include "device/LinkRouter.h"

#include "device/DeviceFrames.h"
#include "device/TrafficLog.h"
#include "util/UnitUtils.h"

#include <QRegularExpression>
#include <algorithm>
#include <utility>

namespace {
int LineEndIndex(const QString& text, int from = 0) {
    const int cr = text.indexOf(u'\r', from);
    const int lf = text.indexOf(u'\n', from);
    if (cr < 0)
        return lf;
    if (lf < 0)
        return cr;
    return std::min(cr, lf);
}

int LastLineEndIndex(const QString& text) {
    return std::max(text.lastIndexOf(u'\r'), text.lastIndexOf(u'\n'));
}

// Index just past the line end at Index (CR LF counts as one line end).
int PastLineEnd(const QString& text, int index) {
    if (text[index] == u'\r' && index + 1 < text.size() && text[index + 1] == u'\n')
        return index + 2;
    return index + 1;
}

bool StartsStatusLine(const QString& line) {
    for (const QChar c : line) {
        if (!c.isSpace())
            return c == u'*';
    }
    return false;
}

// A number as the GCU writes it: sign, digits, one decimal point (or comma).
const QRegularExpression& NumberShape() {
    static const QRegularExpression shape(QStringLiteral(R"(^[+-]?(\d+([.,]\d*)?|[.,]\d+)$)"));
    return shape;
}

// The longest number at the end of Text, among those in Range when given. The
// GCU writes no leading zeros: a "0" before another digit belongs to the text
// in front.
QString NumberAtEnd(const QString& text, const std::optional<AnswerRange>& range) {
    static const QRegularExpression unsignedNumber(QStringLiteral(R"(^(0|[1-9]\d*)([.,]\d+)?$)"));
    for (int from = 0; from < text.size(); ++from) {
        const QString candidate = text.mid(from);
        if (!unsignedNumber.match(candidate).hasMatch())
            continue;
        if (!range)
            return candidate;
        const double value = QString(candidate).replace(u',', u'.').toDouble();
        if (value >= range->minimum && value <= range->maximum)
            return candidate;
    }
    return QString();
}

QString Shortened(const QString& text, int length) {
    return text.size() <= length ? text : text.left(length) + QStringLiteral("...");
}
} // namespace

AnswerLine ClassifyAnswerLine(const QString& line, const std::optional<AnswerRange>& range) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return {AnswerLineKind::Blank, {}};
    if (!trimmed.startsWith(u'*')) {
        if (NumberShape().match(trimmed).hasMatch())
            return {AnswerLineKind::Answer, trimmed};
        return {AnswerLineKind::Other, {}};
    }
    // A status line: complete up to its "#", or cut short where the stream stopped.
    const int endMark = trimmed.lastIndexOf(u'#');
    if (endMark >= 0) {
        const QString after = trimmed.mid(endMark + 1);
        if (after.trimmed().isEmpty())
            return {AnswerLineKind::Status, {}};
        return ClassifyAnswerLine(after, range);
    }
    const int fieldStart = int(std::max<qsizetype>(trimmed.lastIndexOf(u'&'), 0)) + 1;
    const QString glued = NumberAtEnd(trimmed.mid(fieldStart), range);
    if (glued.isEmpty())
        return {AnswerLineKind::Status, {}};
    return {AnswerLineKind::Answer, glued};
}

QString FirmwareVersionFromAnnouncement(const QString& text) {
    const int marker = text.indexOf(QLatin1String(LinkRouter::VersionMarker));
    const int position = marker < 0 ? 0 : marker + 1; // 1-based, 0 when absent
    QString version = text.mid(position + 24, 5);
    while (!version.isEmpty() && (version.back() == u'\r' || version.back() == u'\n'))
        version.chop(1);
    return version;
}

void LinkRouter::ResetForConnection() {
    initCompleted_ = false;
    versionPending_ = false;
    announceTail_.clear();
    versionText_.clear();
    currentLine_.clear();
    AbandonRequest();
}

void LinkRouter::AbandonRequest() {
    const bool answerPending =
        RequestId::IsStoredAnswer(request_) || request_ == RequestId::ConfigDump;
    currentLineOfGivenUpAnswer_ = answerPending && !answerReady_ && !currentLine_.isEmpty();
    request_ = RequestNone;
    waiting_ = false;
    answerReady_ = false;
    received_.clear();
    liveBuffer_.clear();
    dropToLineEnd_ = false;
}

void LinkRouter::LoseLink() {
    ++linkLosses_;
    currentLine_.clear();
    AbandonRequest();
}

// Discards what an earlier request left pending and closes the line the GCU
// left open: the request's answer is looked for in the text that follows.
// Two lines are treated otherwise. The tail of an answer given up on while it
// was still coming belongs to that answer and is passed over. A status line
// the stream stopped inside ends with this request's text, which a query
// finds glued to it.
void LinkRouter::BeginRequest(int requestId, const LinkRequestOptions& options) {
    received_.clear();
    completedDump_.clear();
    answerReady_ = false;
    request_ = requestId;
    waiting_ = true;
    answerRange_ = options.answerRange;
    maxDumpLength_ = options.maxDumpLength;
    passedOver_.clear();
    dumpOverflowed_ = false;
    dumpTextWithoutEnd_ = false;
    lastDumpText_.invalidate();
    const bool earlierLine = !currentLine_.isEmpty();
    const bool answerInFlight = earlierLine && currentLineOfGivenUpAnswer_ &&
                                currentLineGrew_.isValid() &&
                                currentLineGrew_.elapsed() < AnswerInFlightMs;
    dropToLineEnd_ = answerInFlight;
    firstLineIsEarlier_ = false;
    if (requestId != RequestId::ConfigDump && earlierLine && !answerInFlight &&
        StartsStatusLine(currentLine_)) {
        received_ = currentLine_;
        firstLineIsEarlier_ = true;
    }
    if (!answerInFlight) {
        currentLine_.clear(); // closed: what follows begins a line
        currentLineOfGivenUpAnswer_ = false;
    }
}

void LinkRouter::BeginLive() {
    liveBuffer_.clear();
    request_ = RequestId::Live;
}

void LinkRouter::EndLive() {
    liveBuffer_.clear();
    if (request_ == RequestId::Live)
        request_ = RequestNone;
}

void LinkRouter::BeginPlainWait() {
    waiting_ = true;
}

qint64 LinkRouter::MsSinceDumpText() const {
    return lastDumpText_.isValid() ? lastDumpText_.elapsed() : -1;
}

ReceiveOutcome LinkRouter::Receive(const QByteArray& piece, const QTime& now, bool logShown,
                                   const ArrivalMarks& arrivals) {
    ReceiveOutcome outcome;
    outcome.text = FromCp1252(piece);
    ++pieces_;
    waiting_ = false; // every piece ends a plain wait
    if (logShown)
        outcome.logLine = TrafficLog::ReceivedLine(now, outcome.text);
    if (!TakeAnnouncement(outcome.text, outcome))
        Route(outcome.text, arrivals, outcome);
    FollowLine(outcome.text);
    return outcome;
}

// Keeps the start of the line the GCU is in the middle of, and when it last grew.
void LinkRouter::FollowLine(const QString& text) {
    if (text.isEmpty())
        return;
    const int lineEnd = LastLineEndIndex(text);
    if (lineEnd >= 0) {
        currentLine_ = text.mid(lineEnd + 1);
        currentLineOfGivenUpAnswer_ = false;
    } else if (currentLine_.size() < MaxAnswerLineLength) {
        currentLine_ += text.left(MaxAnswerLineLength - currentLine_.size());
    }
    currentLineGrew_.start();
}

// Drops the tail of a line begun before the request; false while its end is
// still to come.
bool LinkRouter::DropTailOfEarlierLine() {
    if (!dropToLineEnd_)
        return true;
    const int lineEnd = LineEndIndex(received_);
    if (lineEnd < 0) {
        received_.clear();
        return false;
    }
    received_.remove(0, lineEnd + 1);
    dropToLineEnd_ = false;
    return true;
}

// The announcement is recognised once per connection, also when its first
// line is cut between two pieces. When the version line comes in a later
// piece, that piece updates the version (and is routed as usual).
bool LinkRouter::TakeAnnouncement(const QString& text, ReceiveOutcome& outcome) {
    if (initCompleted_) {
        TakeLateVersion(text, outcome);
        return false;
    }
    const QLatin1String marker(InitMarker);
    const QString joined = announceTail_ + text;
    if (!joined.contains(marker)) {
        announceTail_ = joined.right(marker.size() - 1);
        return false;
    }
    const QString& carrier = text.contains(marker) ? text : joined;
    initCompleted_ = true;
    announceTail_.clear();
    versionPending_ = !VersionLineComplete(carrier);
    versionText_ = versionPending_ ? carrier.mid(carrier.indexOf(marker)) : QString();
    outcome.announcement = true;
    outcome.firmwareVersion = FirmwareVersionFromAnnouncement(carrier);
    return true;
}

// The version line may be cut anywhere, in the marker too: the text after
// the announcement is joined until the line holds the whole version.
void LinkRouter::TakeLateVersion(const QString& text, ReceiveOutcome& outcome) {
    if (!versionPending_)
        return;
    versionText_ += text;
    if (VersionLineComplete(versionText_)) {
        versionPending_ = false;
        outcome.firmwareVersion = FirmwareVersionFromAnnouncement(versionText_);
        versionText_.clear();
    } else if (versionText_.size() > MaxVersionWait) {
        versionPending_ = false; // a GCU that does not tell its version
        versionText_.clear();
    }
}

// The marker and the five characters one place after it, or the line end
// that comes sooner.
bool LinkRouter::VersionLineComplete(const QString& text) {
    const int marker = text.indexOf(QLatin1String(VersionMarker));
    if (marker < 0)
        return false;
    const QString after = text.mid(marker + int(qstrlen(VersionMarker)));
    return after.size() >= 6 || LineEndIndex(after) >= 0;
}

void LinkRouter::Route(const QString& text, const ArrivalMarks& arrivals, ReceiveOutcome& outcome) {
    if (request_ == RequestId::Live)
        RouteLive(text, arrivals, outcome);
    else if (RequestId::IsStoredAnswer(request_))
        RouteStoredAnswer(text, outcome);
    else if (request_ == RequestId::ConfigDump)
        RouteDump(text, outcome);
}

// Status lines are handed on whole, from their "*" to their line end; text
// before the first "*" of a line (the tail of a line cut at the start of the
// stream) is dropped. A line arrived when its line end did (one character
// of the piece per byte).
void LinkRouter::RouteLive(const QString& text, const ArrivalMarks& arrivals,
                           ReceiveOutcome& outcome) {
    outcome.reachedLive = true;
    const SteadyTime now = SteadyClock::now();
    const qsizetype pieceStart = liveBuffer_.size();
    qsizetype taken = 0;
    liveBuffer_ += text;
    int lineEnd;
    while ((lineEnd = liveBuffer_.indexOf(u'\n')) >= 0) {
        const QString line = liveBuffer_.left(lineEnd + 1);
        liveBuffer_.remove(0, lineEnd + 1);
        const qsizetype endInPiece = taken + lineEnd - pieceStart;
        taken += lineEnd + 1;
        const int start = line.indexOf(u'*');
        if (start >= 0) {
            outcome.liveLines.append(line.mid(start));
            outcome.liveArrivals.push_back(ArrivalOf(arrivals, endInPiece, now));
        }
    }
    if (liveBuffer_.size() > MaxLiveLineLength)
        liveBuffer_.clear();
}

// The answer is the first line that holds it. Status lines still in flight
// after the stream was stopped, blank lines and lines without a number (an
// acknowledgement of the teach frame) are passed over; text after the answer
// is not part of it.
void LinkRouter::RouteStoredAnswer(const QString& text, ReceiveOutcome& outcome) {
    received_ += text;
    if (!DropTailOfEarlierLine())
        return;
    int from = 0;
    int lineEnd;
    while ((lineEnd = LineEndIndex(received_, from)) >= 0) {
        const int next = PastLineEnd(received_, lineEnd);
        const QString line = received_.mid(from, lineEnd - from);
        const AnswerLine kind = ClassifyAnswerLine(line, answerRange_);
        const bool earlier = std::exchange(firstLineIsEarlier_, false);
        if (kind.kind == AnswerLineKind::Answer) {
            received_ =
                kind.answer == line.trimmed() ? received_.mid(from, next - from) : kind.answer;
            answerReady_ = true;
            request_ = RequestNone;
            outcome.answerCompleted = true;
            return;
        }
        if (kind.kind == AnswerLineKind::Other && !earlier)
            passedOver_ = Shortened(line.trimmed(), MaxPassedOverLength);
        from = next;
    }
    received_.remove(0, from);
    if (received_.size() > MaxAnswerLineLength) {
        passedOver_ = Shortened(received_.trimmed(), MaxPassedOverLength);
        received_.clear();
        dropToLineEnd_ = true; // the rest of this line is noise too
    }
}

// The dump is one line: "&"-separated fields up to the end mark "#". It
// begins at a line start; status lines still in flight after the stream was
// stopped are passed over, and so are other lines without the end mark (an
// acknowledgement, the answer to a store). More text than a dump can be,
// without its end mark, ends the request.
void LinkRouter::RouteDump(const QString& text, ReceiveOutcome& outcome) {
    received_ += text;
    lastDumpText_.start();
    for (;;) {
        if (!DropTailOfEarlierLine())
            return;
        int start = 0;
        while (start < received_.size() && received_[start].isSpace())
            ++start;
        received_.remove(0, start);
        if (received_.isEmpty())
            return;
        const int lineEnd = LineEndIndex(received_);
        const int endMark = received_.indexOf(u'#');
        if (received_.startsWith(u'*')) {
            if (lineEnd < 0)
                break; // a status line still coming
            received_.remove(0, lineEnd + 1);
            continue;
        }
        if (endMark >= 0 && (lineEnd < 0 || endMark < lineEnd)) {
            outcome.completedDump = received_.left(endMark + 1);
            completedDump_ = *outcome.completedDump;
            EndDumpRequest();
            answerReady_ = true;
            return;
        }
        if (lineEnd < 0) {
            dumpTextWithoutEnd_ = true; // the dump (or whatever this is) still coming
            break;
        }
        // Fields that end without the end mark are a dump cut short.
        const QString line = received_.left(lineEnd);
        if (line.contains(u'&')) {
            dumpTextWithoutEnd_ = true;
            passedOver_ = Shortened(line.trimmed(), MaxPassedOverLength);
        }
        received_.remove(0, lineEnd + 1);
    }
    if (received_.size() > maxDumpLength_) {
        dumpOverflowed_ = true;
        EndDumpRequest();
    }
}

void LinkRouter::EndDumpRequest() {
    request_ = RequestNone;
    received_.clear();
}
