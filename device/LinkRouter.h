#pragma once
// Bookkeeping of the one request whose answer is awaited, and the routing of
// every received piece of text: announcement, live status lines, the
// configuration dump and stored one-line answers.
//
// A piece is whatever the port had buffered: part of a line, a line or
// several lines. Live lines, dumps and answers are therefore assembled here
// and handed on only when complete.
#include <QByteArray>
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
    std::optional<QString> completedDump; // the whole dump (up to its "#"), to apply once
    bool answerCompleted = false;         // a stored answer is complete
};

class LinkRouter {
  public:
    static constexpr const char* InitMarker = "901 - Init OK";
    static constexpr const char* VersionMarker = "900 - Versione Firmware:";
    // A live line longer than this without a line end is noise and dropped.
    static constexpr int MaxLiveLineLength = 4096;

    // A new connection: the announcement is recognised again, nothing is pending.
    void ResetForConnection();
    // Forgets the pending request and any partial answer (time-out, disconnect).
    void AbandonRequest();

    // A stored-answer request or the configuration dump.
    void BeginRequest(int requestId);
    // Live mode on / off; the line assembly starts afresh.
    void BeginLive();
    void EndLive();
    // A parameter write waits only for the next piece of any text.
    void BeginPlainWait();
    void EndPlainWait() { waiting_ = false; }

    int Request() const { return request_; }
    bool Waiting() const { return waiting_; }
    bool InitCompleted() const { return initCompleted_; }
    // The stored answer of the last completed query (its first non-blank line
    // that is not a status line, line end included), or the dump being accumulated.
    const QString& ReceivedText() const { return received_; }
    // The awaited answer (stored answer or whole dump) has come in completely.
    bool AnswerReady() const { return answerReady_; }
    // Counts every piece; a wait for a long answer restarts its limit on progress.
    quint64 PiecesReceived() const { return pieces_; }

    ReceiveOutcome Receive(const QByteArray& piece, const QTime& now, bool logShown);

  private:
    bool TakeAnnouncement(const QString& text, ReceiveOutcome& outcome);
    void TakeLateVersion(const QString& text, ReceiveOutcome& outcome);
    static bool VersionLineComplete(const QString& text);
    static constexpr int MaxVersionWait = 256; // characters after the announcement
    void Route(const QString& text, ReceiveOutcome& outcome);
    void RouteLive(const QString& text, ReceiveOutcome& outcome);
    void RouteStoredAnswer(const QString& text, ReceiveOutcome& outcome);
    void RouteDump(const QString& text, ReceiveOutcome& outcome);
    bool DropLeadingStatusLines();

    int request_ = RequestNone;
    bool waiting_ = false;
    bool initCompleted_ = false;
    bool versionPending_ = false;
    QString announceTail_; // end of the last piece, while the announcement is awaited
    QString versionText_;  // text since the announcement, while its version line is awaited
    bool answerReady_ = false;
    QString received_;
    QString liveBuffer_;
    quint64 pieces_ = 0;
    static constexpr int RequestNone = 0;
};

// Five characters one place after the end of the version marker; without the
// marker, characters 25 to 29 of the piece. Trailing line-end characters are cut.
QString FirmwareVersionFromAnnouncement(const QString& text);
