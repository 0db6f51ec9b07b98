#pragma once
// Bookkeeping of the one request whose answer is awaited, and the routing of
// every received piece of text: announcement, live status lines, the
// configuration dump and stored one-line answers.
//
// A piece is whatever the port had buffered: part of a line, a line or
// several lines. Live lines, dumps and answers are therefore assembled here
// and handed on only when complete.
//
// Text received after a request was sent is what answers it. The router
// follows the line the GCU is in the middle of: a partial line left from
// before the request (text the GCU sent unasked, without a line end) is closed
// and discarded at the request. Only the tail of an answer that was given up
// while it was still coming is not the new request's: that line is passed
// over up to its end.
#include "util/ArrivalTimes.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

// What the window does with one received piece.
struct ReceiveOutcome {
    QString text;    // the piece as text
    QString logLine; // traffic-log line; empty unless the log is shown
    // The GCU announced itself on this connection: show the version and start
    // the timer that offers to read the configuration. The piece is not routed.
    bool announcement = false;
    // Set with the announcement; also set alone when the version line comes in
    // a later piece than the announcement (then only the version label changes).
    QString firmwareVersion;
    bool reachedLive = false; // the piece went to the live stream (cursor back to normal)
    QStringList liveLines;    // complete status lines, in arrival order
    std::vector<SteadyTime> liveArrivals; // when each of them arrived (its line end)
    std::optional<QString> completedDump; // the whole dump (up to its "#"), to apply once
    bool answerCompleted = false;         // a stored answer is complete
};

// The values a query's answer can plausibly hold (GCU units).
struct AnswerRange {
    double minimum = 0.0;
    double maximum = 0.0;
};

// What one received line is to a query.
enum class AnswerLineKind {
    Blank,
    Status, // a status line of the live stream, also one the stream cut short
    Answer, // the line holds the answer
    Other,  // text without the answer (an acknowledgement, an error)
};
struct AnswerLine {
    AnswerLineKind kind = AnswerLineKind::Blank;
    QString answer; // the answer's text, for Answer
};
// A line (without its line end) is the answer when it is one number. A status
// line the stream cut short may carry the answer glued to its end: then the
// answer is the longest number at the end that lies in Range (without a
// range, the longest number there); text after a status line's "#" is taken
// as a line of its own.
AnswerLine ClassifyAnswerLine(const QString& line, const std::optional<AnswerRange>& range);

struct LinkRequestOptions {
    std::optional<AnswerRange> answerRange; // stored answers: the value's range
    int maxDumpLength = 16384;              // the dump: the longest text it can be
};

class LinkRouter {
  public:
    static constexpr const char* InitMarker = "901 - Init OK";
    static constexpr const char* VersionMarker = "900 - Versione Firmware:";
    // A live line longer than this without a line end is noise and dropped.
    static constexpr int MaxLiveLineLength = 4096;
    // A query's line longer than this without a line end is noise and dropped.
    static constexpr int MaxAnswerLineLength = 4096;
    // A line of an answer given up on that grew this recently when the next
    // request begins is taken to be still coming (ms).
    static constexpr int AnswerInFlightMs = 1000;
    // Text that may still be a dump, unless the request says otherwise.
    static constexpr int DefaultMaxDumpLength = LinkRequestOptions().maxDumpLength;
    // Longest text kept of a line passed over (shown with the report).
    static constexpr int MaxPassedOverLength = 80;

    // A new connection: the announcement is recognised again, nothing is pending.
    void ResetForConnection();
    // Forgets the pending request and any partial answer (time-out).
    void AbandonRequest();
    // The link closed: the pending request is abandoned and counted as lost.
    void LoseLink();
    // Counts the links lost; a wait compares it before and after.
    quint64 LinkLosses() const { return linkLosses_; }

    // A stored-answer request or the configuration dump.
    void BeginRequest(int requestId, const LinkRequestOptions& options = {});
    // Live mode on / off; the line assembly starts afresh.
    void BeginLive();
    void EndLive();
    // A parameter write waits only for the next piece of any text.
    void BeginPlainWait();
    void EndPlainWait() { waiting_ = false; }

    int Request() const { return request_; }
    bool Waiting() const { return waiting_; }
    bool InitCompleted() const { return initCompleted_; }
    // The stored answer of the last completed query (the line that holds it,
    // line end included, or the number found at the end of a status line cut
    // short), or the dump being accumulated.
    const QString& ReceivedText() const { return received_; }
    // The awaited answer (stored answer or whole dump) has come in completely.
    bool AnswerReady() const { return answerReady_; }
    // The whole dump (up to its "#") the last dump request received; empty
    // until it is complete. The exchange hands it to whoever asked.
    const QString& CompletedDump() const { return completedDump_; }
    // Counts every piece.
    quint64 PiecesReceived() const { return pieces_; }

    // What the pending (or last) request received that was not its answer:
    // the last line without the answer that a query passed over,
    const QString& PassedOverText() const { return passedOver_; }
    // and more text than a dump can be, without its end mark (the request then ends).
    bool DumpOverflowed() const { return dumpOverflowed_; }
    // Text of a dump came for the pending (or last) dump request, but no whole
    // dump: "&"-separated fields without their end mark, or text still open.
    bool DumpTextWithoutEnd() const { return dumpTextWithoutEnd_; }
    // Milliseconds since text last came for the dump; -1 when none came.
    qint64 MsSinceDumpText() const;

    // Arrivals: when the piece's bytes came (the receive thread's times);
    // without them a line counts as arrived now.
    ReceiveOutcome Receive(const QByteArray& piece, const QTime& now, bool logShown,
                           const ArrivalMarks& arrivals = {});

  private:
    bool TakeAnnouncement(const QString& text, ReceiveOutcome& outcome);
    void TakeLateVersion(const QString& text, ReceiveOutcome& outcome);
    static bool VersionLineComplete(const QString& text);
    static constexpr int MaxVersionWait = 256; // characters after the announcement
    void FollowLine(const QString& text);
    bool DropTailOfEarlierLine();
    void Route(const QString& text, const ArrivalMarks& arrivals, ReceiveOutcome& outcome);
    void RouteLive(const QString& text, const ArrivalMarks& arrivals, ReceiveOutcome& outcome);
    void RouteStoredAnswer(const QString& text, ReceiveOutcome& outcome);
    void RouteDump(const QString& text, ReceiveOutcome& outcome);
    void EndDumpRequest();

    int request_ = RequestNone;
    bool waiting_ = false;
    bool initCompleted_ = false;
    bool versionPending_ = false;
    QString announceTail_; // end of the last piece, while the announcement is awaited
    QString versionText_;  // text since the announcement, while its version line is awaited
    bool answerReady_ = false;
    QString received_;
    QString completedDump_;
    QString liveBuffer_;
    quint64 pieces_ = 0;
    quint64 linkLosses_ = 0;
    // The line the GCU is in the middle of (its start), whatever was pending.
    QString currentLine_;
    // When it last grew, and whether it began as the answer of a request
    // given up on.
    QElapsedTimer currentLineGrew_;
    bool currentLineOfGivenUpAnswer_ = false;
    // The request's text starts with the tail of a line begun before it.
    bool dropToLineEnd_ = false;
    // The first line of a stored answer began before the request.
    bool firstLineIsEarlier_ = false;
    std::optional<AnswerRange> answerRange_;
    int maxDumpLength_ = DefaultMaxDumpLength;
    QString passedOver_;
    bool dumpOverflowed_ = false;
    bool dumpTextWithoutEnd_ = false;
    QElapsedTimer lastDumpText_;
    static constexpr int RequestNone = 0;
};

// Five characters one place after the end of the version marker; without the
// marker, characters 25 to 29 of the piece. Trailing line-end characters are cut.
QString FirmwareVersionFromAnnouncement(const QString& text);
