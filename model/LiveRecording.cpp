#include "model/LiveRecording.h"
#include "translation/MessageNumbers.h"

#include "util/Exceptions.h"
#include "util/FileErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

// ---------------------------------------------------------------- writing

namespace LiveCsv {
namespace {
void AppendNumber(QByteArray& out, double value, int decimals) {
    if (std::isfinite(value))
        out += QByteArray::number(value, 'f', decimals);
}

// A shift time: within one line interval of the paddle it is no number of
// its own but "less than the interval".
void AppendShiftTime(QByteArray& out, double ms, double resolutionMs) {
    if (ms == 0 && resolutionMs > 0)
        out += '<' + QByteArray::number(std::lround(resolutionMs));
    else
        AppendNumber(out, ms, 0);
}

QByteArray WallClockText(const QDateTime& time) {
    return time.toString(Qt::ISODateWithMs).toLatin1();
}

// The cells of a shift from its time on.
QByteArray ShiftCells(const ShiftEvent& shift) {
    QByteArray line;
    AppendNumber(line, shift.timeMs, 0);
    line += Separator;
    line += shift.up ? "UP" : "DOWN";
    line += Separator + QByteArray::number(shift.fromGear);
    line += Separator;
    if (!shift.missed)
        line += QByteArray::number(shift.toGear);
    line += Separator;
    AppendShiftTime(line, shift.paddleToGearMs, shift.resolutionMs);
    line += Separator;
    AppendShiftTime(line, shift.paddleToBarrelMs, shift.resolutionMs);
    line += Separator;
    AppendNumber(line, shift.resolutionMs, 0);
    return line;
}

const char* const ShiftTitles =
    "time_ms;paddle;from_gear;to_gear;paddle_to_gear_ms;paddle_to_barrel_ms;resolution_ms";
} // namespace

QString ColumnTitle(const LiveField& field) {
    const QString key = QString::fromLatin1(field.key);
    if (field.scaling == LiveScaling::Active)
        return key + QStringLiteral(" [1=pressed, wire 0]");
    if (!*field.unit)
        return key;
    return key + QStringLiteral(" [") + QString::fromUtf8(field.unit) + u']';
}

QByteArray HeaderLine() {
    QByteArray line = QByteArray(TimeColumn) + Separator + WallClockColumn;
    for (const LiveField& field : LiveFields())
        line += Separator + ColumnTitle(field).toUtf8();
    return line + '\n';
}

QByteArray ShiftHeaderLine() {
    return QByteArray(ShiftMark) + Separator + ShiftTitles + '\n';
}

QByteArray GapHeaderLine() {
    return QByteArray(GapMark) + ";from_ms;to_ms;reason;lines_missing\n";
}

QByteArray RowLine(const LiveSample& sample, const QDateTime& wallClock) {
    QByteArray line;
    line.reserve(160);
    AppendNumber(line, sample.timeMs, 0);
    line += Separator + WallClockText(wallClock);
    for (const LiveField& field : LiveFields()) {
        line += Separator;
        AppendNumber(line, sample.values[size_t(FieldIndex(field.id))], field.decimals);
    }
    return line + '\n';
}

QByteArray ShiftLine(const ShiftEvent& shift) {
    return QByteArray(ShiftMark) + Separator + ShiftCells(shift) + '\n';
}

QByteArray GapLine(const LiveGap& gap) {
    QByteArray line(GapMark);
    line += Separator;
    AppendNumber(line, gap.fromMs, 0);
    line += Separator;
    AppendNumber(line, gap.toMs, 0);
    line += Separator;
    line += GapReasonKey(gap.reason);
    line += Separator;
    if (gap.linesMissing >= 0)
        line += QByteArray::number(gap.linesMissing);
    return line + '\n';
}

QByteArray EndLine(qint64 lines, const QString& reason) {
    return QByteArray(EndMark) + Separator + QByteArray::number(lines) + Separator +
           reason.toUtf8() + '\n';
}

QByteArray ShiftTableHeaderLine() {
    return QByteArray(ShiftTitles) + '\n';
}

QByteArray ShiftTableLine(const ShiftEvent& shift) {
    return ShiftCells(shift) + '\n';
}
} // namespace LiveCsv

void WriteShiftTable(const QString& fileName, const std::deque<ShiftEvent>& shifts) {
    QByteArray text = LiveCsv::ShiftTableHeaderLine();
    for (const ShiftEvent& shift : shifts)
        text += LiveCsv::ShiftTableLine(shift);
    if (const std::optional<FileSaveFailure> failure = SaveWholeFile(fileName, text))
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotWrite, {fileName, failure->reason}});
}

// ---------------------------------------------------------------- reading

namespace {
using Cells = std::vector<std::string_view>;

void SplitCells(std::string_view line, Cells& cells) {
    cells.clear();
    size_t from = 0;
    for (;;) {
        const size_t at = line.find(LiveCsv::Separator, from);
        if (at == std::string_view::npos) {
            cells.push_back(line.substr(from));
            return;
        }
        cells.push_back(line.substr(from, at - from));
        from = at + 1;
    }
}

// A number cell; empty gives NaN, anything else not a number gives nullopt.
std::optional<double> Number(std::string_view cell) {
    if (cell.empty())
        return NoValue;
    double value = 0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (error != std::errc() || end != cell.data() + cell.size())
        return std::nullopt;
    return value;
}

// A shift time: a number, or "<" + the interval it lies within (0 measured).
std::optional<double> ShiftTime(std::string_view cell) {
    if (!cell.empty() && cell.front() == '<' && Number(cell.substr(1)))
        return 0.0;
    return Number(cell);
}

QString Text(std::string_view cell) {
    return QString::fromUtf8(cell.data(), qsizetype(cell.size()));
}

// Column of each field, -1 when the file has none. Titles of older
// recordings (without the note on pressed inputs) are read too.
std::array<int, LiveFieldCount> FieldColumns(const Cells& header) {
    std::array<int, LiveFieldCount> columns;
    columns.fill(-1);
    for (size_t c = 0; c < header.size(); ++c) {
        const QString title = Text(header[c]);
        for (const LiveField& field : LiveFields())
            if (title == LiveCsv::ColumnTitle(field) || title == QLatin1String(field.key))
                columns[size_t(FieldIndex(field.id))] = int(c);
    }
    return columns;
}

bool ReadShift(const Cells& cells, ShiftEvent& shift) {
    if (cells.size() < 8)
        return false;
    const auto time = Number(cells[1]);
    const auto from = Number(cells[3]);
    const auto to = Number(cells[4]);
    const auto toGear = ShiftTime(cells[5]);
    const auto toBarrel = ShiftTime(cells[6]);
    const auto resolution = Number(cells[7]);
    if (!time || !from || !to || !toGear || !toBarrel || !resolution || std::isnan(*time) ||
        std::isnan(*from))
        return false;
    shift.timeMs = *time;
    shift.up = cells[2] == "UP";
    shift.fromGear = int(std::lround(*from));
    shift.missed = std::isnan(*to);
    shift.toGear = shift.missed ? shift.fromGear : int(std::lround(*to));
    shift.paddleToGearMs = *toGear;
    shift.paddleToBarrelMs = *toBarrel;
    shift.resolutionMs = std::isnan(*resolution) ? 0 : *resolution;
    return true;
}

bool ReadGap(const Cells& cells, LiveGap& gap) {
    if (cells.size() < 5)
        return false;
    const auto from = Number(cells[1]);
    const auto to = Number(cells[2]);
    const auto reason = GapReasonFromKey(Text(cells[3]));
    const auto missing = Number(cells[4]);
    if (!from || !to || !reason || !missing || std::isnan(*from) || std::isnan(*to))
        return false;
    gap.fromMs = *from;
    gap.toMs = *to;
    gap.reason = *reason;
    gap.linesMissing = std::isnan(*missing) ? -1 : qint64(*missing);
    return true;
}

// A line longer than this is no line of a recording.
constexpr qsizetype MaxLineBytes = 1 << 16;
} // namespace

void LiveRecordingParser::NotARecording() const {
    throw EInOutError(DetailPhrase{Msg::PhraseNotALiveRecording, {fileName_}});
}

void LiveRecordingParser::Feed(const char* data, qsizetype size) {
    qsizetype from = 0;
    while (from < size) {
        const char* end = static_cast<const char*>(memchr(data + from, '\n', size_t(size - from)));
        if (!end) {
            rest_.append(data + from, size - from);
            if (rest_.size() > MaxLineBytes) {
                if (!headerSeen_)
                    NotARecording();
                rest_.clear(); // noise; the rest of it is skipped too
                ++summary_.rowsSkipped;
            }
            return;
        }
        const qsizetype length = end - (data + from);
        if (rest_.isEmpty()) {
            Line(std::string_view(data + from, size_t(length)));
        } else {
            rest_.append(data + from, length);
            Line(std::string_view(rest_.constData(), size_t(rest_.size())));
            rest_.clear();
        }
        from += length + 1;
    }
}

void LiveRecordingParser::Finish() {
    if (!rest_.isEmpty()) {
        const QByteArray last = std::exchange(rest_, QByteArray());
        Line(std::string_view(last.constData(), size_t(last.size())));
    }
    if (!headerSeen_)
        NotARecording();
}

void LiveRecordingParser::Line(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return;
    SplitCells(line, cells_);
    if (!headerSeen_) {
        if (cells_.size() < 2 || cells_[0] != LiveCsv::TimeColumn)
            NotARecording();
        columns_ = FieldColumns(cells_);
        headerSeen_ = true;
        return;
    }
    if (cells_[0] == LiveCsv::ShiftMark) {
        ShiftEvent shift;
        if (ReadShift(cells_, shift) && onShift)
            onShift(shift);
        return;
    }
    if (cells_[0] == LiveCsv::GapMark) {
        LiveGap gap;
        if (ReadGap(cells_, gap)) {
            gapPending_ = true;
            if (onGap)
                onGap(gap);
        }
        return;
    }
    if (cells_[0] == LiveCsv::EndMark) {
        summary_.ended = true;
        if (cells_.size() > 1)
            summary_.endLines = qint64(Number(cells_[1]).value_or(0));
        if (cells_.size() > 2)
            summary_.endReason = Text(cells_[2]);
        return;
    }
    const auto time = Number(cells_[0]);
    if (!time || std::isnan(*time)) {
        ++summary_.rowsSkipped;
        return;
    }
    LiveSample sample;
    sample.timeMs = *time;
    bool whole = true;
    for (size_t f = 0; f < size_t(LiveFieldCount); ++f) {
        const int column = columns_[f];
        std::optional<double> value = NoValue;
        if (column >= 0 && size_t(column) < cells_.size())
            value = Number(cells_[size_t(column)]);
        else if (column >= 0)
            whole = false;
        sample.values[f] = value.value_or(NoValue);
        whole = whole && value.has_value();
    }
    if (!whole) { // a row cut short by a crash: left out
        ++summary_.rowsSkipped;
        return;
    }
    if (!summary_.started.isValid() && cells_.size() > 1)
        summary_.started = QDateTime::fromString(
            QString::fromLatin1(cells_[1].data(), qsizetype(cells_[1].size())), Qt::ISODateWithMs);
    if (onRow)
        onRow(sample, std::exchange(gapPending_, false));
}

namespace {
// Feeds the file to Parser in blocks; false when Cancel was set.
bool FeedFile(const QString& fileName, LiveRecordingParser& parser,
              const std::atomic<bool>* cancel = nullptr, std::atomic<qint64>* bytesRead = nullptr,
              std::atomic<qint64>* bytesTotal = nullptr) {
    QFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotRead, {fileName, FileErrorReason(file, errno)}});
    if (bytesTotal)
        *bytesTotal = file.size();
    QByteArray block(LiveRecordingLoad::BlockBytes, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (cancel && *cancel)
            return false;
        errno = 0;
        const qint64 n = file.read(block.data(), block.size());
        if (n < 0)
            throw EInOutError(
                DetailPhrase{Msg::PhraseFileCannotRead, {fileName, FileErrorReason(file, errno)}});
        if (n == 0)
            break;
        parser.Feed(block.constData(), n);
        total += n;
        if (bytesRead)
            *bytesRead = total;
    }
    parser.Finish();
    return true;
}
} // namespace

LiveRecordingFile ReadLiveRecording(const QString& fileName) {
    LiveRecordingFile recording;
    LiveRecordingParser parser(fileName);
    parser.onRow = [&](const LiveSample& sample, bool) { recording.samples.push_back(sample); };
    parser.onShift = [&](const ShiftEvent& shift) { recording.shifts.push_back(shift); };
    parser.onGap = [&](const LiveGap& gap) { recording.gaps.push_back(gap); };
    FeedFile(fileName, parser);
    static_cast<LiveRecordingSummary&>(recording) = parser.Summary();
    return recording;
}

// ---------------------------------------------------------------- reading in the background

LiveRecordingLoad::LiveRecordingLoad(const QString& fileName) : fileName_(fileName) {
    thread_ = std::thread([this] { Run(); });
}

LiveRecordingLoad::~LiveRecordingLoad() {
    cancel_ = true;
    if (thread_.joinable())
        thread_.join();
}

void LiveRecordingLoad::Run() {
    auto history = std::make_unique<LiveHistory>(LiveHistory::Unbounded);
    LiveRecordingParser parser(fileName_);
    parser.onRow = [&](const LiveSample& sample, bool gapBefore) {
        history->Add(sample, gapBefore);
    };
    parser.onShift = [&](const ShiftEvent& shift) { history->AddShift(shift); };
    parser.onGap = [&](const LiveGap& gap) { history->AddGap(gap); };
    QString error;
    std::optional<DetailPhrase> errorPhrase;
    bool whole = false;
    try {
        whole = FeedFile(fileName_, parser, &cancel_, &bytesRead_, &bytesTotal_);
    } catch (const QvException& e) {
        error = e.Message();
        errorPhrase = e.Phrase();
    } catch (const std::bad_alloc&) {
        errorPhrase = DetailPhrase{Msg::PhraseNotEnoughMemoryToRead, {fileName_}};
        error = EnglishText(*errorPhrase);
    }
    {
        std::lock_guard lock(mutex_);
        summary_ = parser.Summary();
        error_ = error;
        errorPhrase_ = errorPhrase;
        if (whole && error.isEmpty())
            history_ = std::move(history);
        cancelled_ = !whole && error.isEmpty();
    }
    done_ = true;
}

double LiveRecordingLoad::Fraction() const {
    const qint64 total = bytesTotal_;
    return total > 0 ? std::min(1.0, double(bytesRead_) / double(total)) : (done_ ? 1.0 : 0.0);
}

std::unique_ptr<LiveHistory> LiveRecordingLoad::TakeHistory() {
    std::lock_guard lock(mutex_);
    return std::move(history_);
}

QString LiveRecordingLoad::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::optional<DetailPhrase> LiveRecordingLoad::ErrorPhrase() const {
    std::lock_guard lock(mutex_);
    return errorPhrase_;
}

LiveRecordingSummary LiveRecordingLoad::Summary() const {
    std::lock_guard lock(mutex_);
    return summary_;
}

// ---------------------------------------------------------------- the recorder

struct LiveRecorder::Worker {
    explicit Worker(std::unique_ptr<QFile> f) : file(std::move(f)) {
        thread = std::thread([this] { Run(); });
    }
    ~Worker() { Join(); }
    // Writes what is queued and ends the thread.
    void Join() {
        if (!thread.joinable())
            return;
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    void Queue(QByteArray&& bytes, qint64 rows) {
        std::lock_guard lock(mutex);
        pending += bytes;
        pendingRows += rows;
    }

    void Run() {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait_for(lock, FlushInterval, [this] { return stopping; });
            const bool last = stopping;
            QByteArray chunk;
            chunk.swap(pending);
            const qint64 rows = pendingRows;
            pendingRows = 0;
            lock.unlock();
            WriteChunk(chunk, rows);
            lock.lock();
            if (last && pending.isEmpty())
                break;
        }
    }

    void WriteChunk(const QByteArray& chunk, qint64 rows) {
        if (chunk.isEmpty() || failed)
            return;
        errno = 0;
        if (file->write(chunk) != chunk.size() || !file->flush()) {
            const int failure = errno;
            std::lock_guard lock(errorMutex);
            error = FileErrorReason(*file, failure);
            failed = true;
            return;
        }
        written += rows;
    }

    std::unique_ptr<QFile> file;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    QByteArray pending;
    qint64 pendingRows = 0;
    bool stopping = false;
    std::atomic<bool> failed{false};
    std::atomic<qint64> written{0};
    mutable std::mutex errorMutex;
    QString error;
};

LiveRecorder::LiveRecorder() = default;

LiveRecorder::~LiveRecorder() {
    if (IsRecording())
        Stop(QString::fromLatin1(LiveCsv::EndClosed));
}

void LiveRecorder::Start(const QString& fileName, double startMs,
                         const QDateTime& wallClockAtStart) {
    if (IsRecording())
        Stop(QString::fromLatin1(LiveCsv::EndStopped));
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    auto file = std::make_unique<QFile>(fileName);
    errno = 0;
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotWrite, {fileName, FileErrorReason(*file, errno)}});
    const QByteArray header =
        LiveCsv::HeaderLine() + LiveCsv::ShiftHeaderLine() + LiveCsv::GapHeaderLine();
    errno = 0;
    if (file->write(header) != header.size() || !file->flush()) {
        const int failure = errno;
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotWrite, {fileName, FileErrorReason(*file, failure)}});
    }
    fileName_ = fileName;
    startMs_ = startMs;
    wallClockAtStart_ = wallClockAtStart;
    linesAdded_ = 0;
    gapsAdded_ = 0;
    linesWrittenAtStop_ = 0;
    errorAtStop_.clear();
    worker_ = std::make_unique<Worker>(std::move(file));
}

void LiveRecorder::Add(const LiveSample& sample) {
    if (!worker_)
        return;
    LiveSample row = sample;
    row.timeMs = sample.timeMs - startMs_;
    const QDateTime wall = wallClockAtStart_.addMSecs(qint64(std::llround(row.timeMs)));
    worker_->Queue(LiveCsv::RowLine(row, wall), 1);
    ++linesAdded_;
}

void LiveRecorder::AddShift(const ShiftEvent& shift) {
    if (!worker_)
        return;
    ShiftEvent row = shift;
    row.timeMs = shift.timeMs - startMs_;
    worker_->Queue(LiveCsv::ShiftLine(row), 0);
}

void LiveRecorder::AddGap(const LiveGap& gap) {
    if (!worker_ || linesAdded_ == 0)
        return;
    LiveGap row = gap;
    row.fromMs = gap.fromMs - startMs_;
    row.toMs = gap.toMs - startMs_;
    worker_->Queue(LiveCsv::GapLine(row), 0);
    ++gapsAdded_;
}

bool LiveRecorder::Stop(const QString& reason) {
    if (!worker_)
        return errorAtStop_.isEmpty();
    worker_->Queue(LiveCsv::EndLine(linesAdded_, reason), 0);
    worker_->Join();
    linesWrittenAtStop_ = worker_->written;
    errorAtStop_ = worker_->error;
    worker_->file->close();
    if (errorAtStop_.isEmpty() && worker_->file->error() != QFileDevice::NoError)
        errorAtStop_ = worker_->file->errorString();
    worker_.reset();
    return errorAtStop_.isEmpty();
}

qint64 LiveRecorder::LinesWritten() const {
    return worker_ ? qint64(worker_->written) : linesWrittenAtStop_;
}

QString LiveRecorder::Error() const {
    if (!worker_)
        return errorAtStop_;
    std::lock_guard lock(worker_->errorMutex);
    return worker_->error;
}
