#include "model/LiveRecording.h"
#include "translation/MessageNumbers.h"

#include "util/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <cmath>

// ---------------------------------------------------------------- writing

namespace LiveCsv {
namespace {
void AppendNumber(QByteArray& out, double value, int decimals) {
    if (std::isfinite(value))
        out += QByteArray::number(value, 'f', decimals);
}

QByteArray WallClockText(const QDateTime& time) {
    return time.toString(Qt::ISODateWithMs).toLatin1();
}
} // namespace

QString ColumnTitle(const LiveField& field) {
    const QString key = QString::fromLatin1(field.key);
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
    return QByteArray(ShiftMark) +
           ";time_ms;paddle;from_gear;to_gear;paddle_to_gear_ms;paddle_to_barrel_ms;"
           "resolution_ms\n";
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
    QByteArray line(ShiftMark);
    line += Separator;
    AppendNumber(line, shift.timeMs, 0);
    line += Separator;
    line += shift.up ? "UP" : "DOWN";
    line += Separator + QByteArray::number(shift.fromGear);
    line += Separator;
    if (!shift.missed)
        line += QByteArray::number(shift.toGear);
    line += Separator;
    AppendNumber(line, shift.paddleToGearMs, 0);
    line += Separator;
    AppendNumber(line, shift.paddleToBarrelMs, 0);
    line += Separator;
    AppendNumber(line, shift.resolutionMs, 0);
    return line + '\n';
}

QByteArray EndLine(qint64 lines, const QString& reason) {
    return QByteArray(EndMark) + Separator + QByteArray::number(lines) + Separator +
           reason.toUtf8() + '\n';
}
} // namespace LiveCsv

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

// Column of each field, -1 when the file has none.
std::array<int, LiveFieldCount> FieldColumns(const Cells& header) {
    std::array<int, LiveFieldCount> columns;
    columns.fill(-1);
    for (size_t c = 0; c < header.size(); ++c) {
        const QString title = QString::fromUtf8(header[c].data(), qsizetype(header[c].size()));
        for (const LiveField& field : LiveFields())
            if (title == LiveCsv::ColumnTitle(field))
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
    const auto toGear = Number(cells[5]);
    const auto toBarrel = Number(cells[6]);
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
} // namespace

LiveRecordingFile ReadLiveRecording(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotRead, {fileName, file.errorString()}});
    const QByteArray bytes = file.readAll();
    const std::string_view text(bytes.constData(), size_t(bytes.size()));
    LiveRecordingFile recording;
    Cells cells;
    cells.reserve(LiveFieldCount + 2);
    std::array<int, LiveFieldCount> columns{};
    bool headerSeen = false;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        SplitCells(line, cells);
        if (!headerSeen) {
            if (cells.size() < 2 || cells[0] != LiveCsv::TimeColumn)
                throw EInOutError(DetailPhrase{Msg::PhraseNotALiveRecording, {fileName}});
            columns = FieldColumns(cells);
            headerSeen = true;
            continue;
        }
        if (cells[0] == LiveCsv::ShiftMark) {
            ShiftEvent shift;
            if (ReadShift(cells, shift))
                recording.shifts.push_back(shift);
            continue;
        }
        if (cells[0] == LiveCsv::EndMark) {
            recording.ended = true;
            if (cells.size() > 1)
                recording.endLines = qint64(Number(cells[1]).value_or(0));
            if (cells.size() > 2)
                recording.endReason =
                    QString::fromUtf8(cells[2].data(), qsizetype(cells[2].size()));
            continue;
        }
        const auto time = Number(cells[0]);
        if (!time || std::isnan(*time)) {
            ++recording.rowsSkipped;
            continue;
        }
        LiveSample sample;
        sample.timeMs = *time;
        bool whole = true;
        for (size_t f = 0; f < size_t(LiveFieldCount); ++f) {
            const int column = columns[f];
            std::optional<double> value = NoValue;
            if (column >= 0 && size_t(column) < cells.size())
                value = Number(cells[size_t(column)]);
            else if (column >= 0)
                whole = false;
            sample.values[f] = value.value_or(NoValue);
            whole = whole && value.has_value();
        }
        if (!whole) { // a row cut short by a crash: left out
            ++recording.rowsSkipped;
            continue;
        }
        if (recording.samples.empty() && cells.size() > 1)
            recording.started = QDateTime::fromString(
                QString::fromLatin1(cells[1].data(), qsizetype(cells[1].size())),
                Qt::ISODateWithMs);
        recording.samples.push_back(sample);
    }
    if (!headerSeen)
        throw EInOutError(DetailPhrase{Msg::PhraseNotALiveRecording, {fileName}});
    return recording;
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
        if (file->write(chunk) != chunk.size() || !file->flush()) {
            std::lock_guard lock(errorMutex);
            error = file->errorString();
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
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotWrite, {fileName, file->errorString()}});
    const QByteArray header = LiveCsv::HeaderLine() + LiveCsv::ShiftHeaderLine();
    if (file->write(header) != header.size() || !file->flush())
        throw EInOutError(
            DetailPhrase{Msg::PhraseFileCannotWrite, {fileName, file->errorString()}});
    fileName_ = fileName;
    startMs_ = startMs;
    wallClockAtStart_ = wallClockAtStart;
    linesAdded_ = 0;
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
