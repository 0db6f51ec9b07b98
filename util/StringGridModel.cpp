#include "util/StringGridModel.h"
#include "translation/MessageNumbers.h"

#include "util/Exceptions.h"
#include "util/FileErrors.h"
#include "util/UnitUtils.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>

StringGridModel::StringGridModel(int colCount, int rowCount, int defaultColWidth)
    : colCount_(std::max(colCount, 0)), rowCount_(std::max(rowCount, 0)),
      defaultColWidth_(defaultColWidth) {
    cells_.resize(rowCount_);
    for (auto& row : cells_)
        row.resize(colCount_);
    colWidths_.fill(defaultColWidth_, colCount_);
}

void StringGridModel::SetColCount(int count) {
    count = std::max(count, 0);
    if (count == colCount_)
        return;
    for (auto& row : cells_)
        row.resize(count);
    colWidths_.resize(count);
    for (int c = colCount_; c < count; ++c)
        colWidths_[c] = defaultColWidth_;
    colCount_ = count;
    NotifyChanged();
}

void StringGridModel::SetRowCount(int count) {
    count = std::max(count, 0);
    if (count == rowCount_)
        return;
    cells_.resize(count);
    for (int r = rowCount_; r < count; ++r)
        cells_[r].resize(colCount_);
    rowCount_ = count;
    NotifyChanged();
}

QString StringGridModel::Cell(int col, int row) const {
    if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount_)
        return {};
    return cells_[row][col];
}

void StringGridModel::SetCell(int col, int row, const QString& text) {
    if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount_)
        return;
    if (cells_[row][col] == text)
        return;
    cells_[row][col] = text;
    if (cellChanged)
        cellChanged(col, row);
    else
        NotifyChanged();
}

void StringGridModel::SetDefaultColWidth(int width) {
    defaultColWidth_ = width;
    colWidths_.fill(width, colCount_);
    NotifyChanged();
}

int StringGridModel::ColWidth(int col) const {
    return (col >= 0 && col < colCount_) ? colWidths_[col] : defaultColWidth_;
}

void StringGridModel::SetColWidth(int col, int width) {
    if (col < 0 || col >= colCount_ || colWidths_[col] == width)
        return;
    colWidths_[col] = width;
    NotifyChanged();
}

int StringGridModel::TextWidth(const QString& text) const {
    if (textWidth)
        return textWidth(text);
    return static_cast<int>(text.size()) * 6;
}

void StringGridModel::NotifyChanged() {
    if (changed)
        changed();
}

namespace {

// Splits a file's bytes into lines at CR LF, LF or a lone CR; a final line
// without an end still counts.
QStringList SplitLines(const QByteArray& bytes) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(FromCp1252(bytes.constData() + start, static_cast<int>(i - start)));
        if (c == '\r' && i + 1 < size && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(FromCp1252(bytes.constData() + start, static_cast<int>(size - start)));
    return lines;
}

QByteArray ReadWholeFile(const QString& fileName) {
    QFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        const QString reason = FileErrorReason(file, errno);
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotOpen,
                                       {QFileInfo(fileName).absoluteFilePath(), reason}});
    }
    errno = 0;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        const QString reason = FileErrorReason(file, errno);
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotRead,
                                       {QFileInfo(fileName).absoluteFilePath(), reason}});
    }
    return bytes;
}

void FillRow(StringGridModel& grid, int row, const QString& line) {
    QString rest = line;
    const int lastCol = grid.ColCount() - 1;
    for (int col = 0; col < lastCol; ++col) {
        const qsizetype at = rest.indexOf(u';');
        if (at < 0) {
            // A line with too few separators: the missing cells are empty.
            grid.SetCell(col, row, rest);
            rest.clear();
            for (int c = col + 1; c <= lastCol; ++c)
                grid.SetCell(c, row, QString());
            return;
        }
        grid.SetCell(col, row, rest.left(at));
        rest.remove(0, at + 1);
    }
    if (lastCol >= 0)
        grid.SetCell(lastCol, row, rest);
}

void WidenColumnsToContent(StringGridModel& grid) {
    for (int col = 0; col < grid.ColCount(); ++col) {
        for (int row = 0; row < grid.RowCount(); ++row) {
            const int wanted = grid.TextWidth(grid.Cell(col, row)) + 8;
            if (grid.ColWidth(col) < wanted)
                grid.SetColWidth(col, wanted);
        }
    }
}

} // namespace

QStringList ReadCsvLines(const QString& fileName) {
    return SplitLines(ReadWholeFile(fileName));
}

void LoadStringGridFromCSV(StringGridModel& grid, const QString& fileName) {
    LoadStringGridFromLines(grid, ReadCsvLines(fileName));
}

void LoadStringGridFromLines(StringGridModel& grid, const QStringList& lines) {
    if (!lines.isEmpty()) {
        const int columns = StrCountOccurrences(QStringLiteral(";"), lines.first(), false) + 1;
        if (grid.ColCount() < columns)
            grid.SetColCount(columns);
    }
    if (grid.RowCount() < lines.size())
        grid.SetRowCount(static_cast<int>(lines.size()));
    for (int row = 0; row < lines.size(); ++row)
        FillRow(grid, row, lines[row]);
    WidenColumnsToContent(grid);
}

void SaveStringGridToCSV(const StringGridModel& grid, const QString& fileName) {
    QByteArray bytes;
    for (int row = 0; row < grid.RowCount(); ++row) {
        QStringList cells;
        for (int col = 0; col < grid.ColCount(); ++col)
            cells.append(grid.Cell(col, row));
        bytes += ToCp1252(cells.join(u';'));
        bytes += "\r\n";
    }
    if (const std::optional<FileSaveFailure> failure = SaveWholeFile(fileName, bytes))
        throw EInOutError(DetailPhrase{Msg::PhraseFileCannotWrite,
                                       {QFileInfo(fileName).absoluteFilePath(), failure->reason}});
}
