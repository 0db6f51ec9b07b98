#include "LinkRouter.h"

#include "DeviceFrames.h"
#include "TrafficLog.h"
#include "util/UnitUtils.h"

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

// Index just past the line end at Index (CR LF counts as one line end).
int PastLineEnd(const QString& text, int index) {
    if (text[index] == u'\r' && index + 1 < text.size() && text[index + 1] == u'\n')
        return index + 2;
    return index + 1;
}
} // namespace

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
    AbandonRequest();
}

void LinkRouter::AbandonRequest() {
    request_ = RequestNone;
    waiting_ = false;
    answerReady_ = false;
    received_.clear();
    liveBuffer_.clear();
}

void LinkRouter::BeginRequest(int requestId) {
    received_.clear();
    answerReady_ = false;
    request_ = requestId;
    waiting_ = true;
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

ReceiveOutcome LinkRouter::Receive(const QByteArray& piece, const QTime& now, bool logShown) {
    ReceiveOutcome outcome;
    outcome.text = FromCp1252(piece);
    ++pieces_;
    waiting_ = false; // every piece ends a plain wait
    if (logShown)
        outcome.logLine = TrafficLog::ReceivedLine(now, outcome.text);
    if (!TakeAnnouncement(outcome.text, outcome))
        Route(outcome.text, outcome);
    return outcome;
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

void LinkRouter::Route(const QString& text, ReceiveOutcome& outcome) {
    if (request_ == RequestId::Live)
        RouteLive(text, outcome);
    else if (RequestId::IsStoredAnswer(request_))
        RouteStoredAnswer(text, outcome);
    else if (request_ == RequestId::ConfigDump)
        RouteDump(text, outcome);
}

// Status lines are handed on whole, from their "*" to their line end; text
// before the first "*" of a line (the tail of a line cut at the start of the
// stream) is dropped.
void LinkRouter::RouteLive(const QString& text, ReceiveOutcome& outcome) {
    outcome.reachedLive = true;
    liveBuffer_ += text;
    int lineEnd;
    while ((lineEnd = liveBuffer_.indexOf(u'\n')) >= 0) {
        const QString line = liveBuffer_.left(lineEnd + 1);
        liveBuffer_.remove(0, lineEnd + 1);
        const int start = line.indexOf(u'*');
        if (start >= 0)
            outcome.liveLines.append(line.mid(start));
    }
    if (liveBuffer_.size() > MaxLiveLineLength)
        liveBuffer_.clear();
}

// An answer is its first non-blank line that is not a status line; it is
// complete at that line's end, however many pieces it came in. Status lines
// still in flight after the stream was stopped are passed over, and text after
// the answer is not part of it.
void LinkRouter::RouteStoredAnswer(const QString& text, ReceiveOutcome& outcome) {
    received_ += text;
    int from = 0;
    int lineEnd;
    while ((lineEnd = LineEndIndex(received_, from)) >= 0) {
        const int next = PastLineEnd(received_, lineEnd);
        const QString line = received_.mid(from, lineEnd - from).trimmed();
        if (!line.isEmpty() && !line.startsWith(u'*')) {
            received_ = received_.mid(from, next - from);
            answerReady_ = true;
            request_ = RequestNone;
            outcome.answerCompleted = true;
            return;
        }
        from = next;
    }
}

// Status lines still in flight after the stream was stopped may come before the
// dump; they are dropped from its start (the dump itself begins with a number).
// Returns false while such a line is not yet complete.
bool LinkRouter::DropLeadingStatusLines() {
    for (;;) {
        int start = 0;
        while (start < received_.size() && received_[start].isSpace())
            ++start;
        if (start == received_.size() || received_[start] != u'*')
            return true;
        const int lineEnd = received_.indexOf(u'\n', start);
        if (lineEnd < 0)
            return false;
        received_.remove(0, lineEnd + 1);
    }
}

void LinkRouter::RouteDump(const QString& text, ReceiveOutcome& outcome) {
    received_ += text;
    if (!DropLeadingStatusLines())
        return;
    const int endMark = received_.indexOf(u'#');
    if (endMark < 0)
        return;
    request_ = RequestNone;
    answerReady_ = true;
    outcome.completedDump = received_.left(endMark + 1);
    received_.clear();
}
