#pragma once
// The content of a string grid without a widget: cells, counts and column
// widths. The window's TStringGrid shows one of these; the CSV helpers and the
// table logic work on it alone, so they are tested without a window.
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class StringGridModel {
  public:
    StringGridModel(int colCount = 5, int rowCount = 5, int defaultColWidth = 64);
    virtual ~StringGridModel() = default;

    int ColCount() const { return colCount_; }
    int RowCount() const { return rowCount_; }
    // Growing keeps every cell; shrinking drops the cells outside.
    void SetColCount(int count);
    void SetRowCount(int count);

    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

    int DefaultColWidth() const { return defaultColWidth_; }
    void SetDefaultColWidth(int width);
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);

    // Pixel width of Text in the grid's font; the widget supplies its font
    // metrics, a grid without a widget uses an average glyph width.
    std::function<int(const QString&)> textWidth;
    int TextWidth(const QString& text) const;

    // Called after any change, so that a widget can repaint. A changed cell
    // text is told to CellChanged instead when that is set, so that a widget
    // repaints that cell alone.
    std::function<void()> changed;
    std::function<void(int col, int row)> cellChanged;

  private:
    void NotifyChanged();
    int colCount_;
    int rowCount_;
    int defaultColWidth_;
    QVector<QVector<QString>> cells_; // [row][col]
    QVector<int> colWidths_;
};

// Reads a ";"-separated 8-bit file into the grid: the title line sets the
// minimum column count, the line count the minimum row count; the last column
// takes the rest of a line. Cells the file does not cover keep their text;
// columns only widen. Missing separators leave the missing cells empty.
// Raises EInOutError when the file cannot be read; grid then unchanged.
void LoadStringGridFromCSV(StringGridModel& grid, const QString& fileName);
// The two halves of it: the file's lines (at CR LF, LF or a lone CR, 8-bit
// text), raising EInOutError when the file cannot be read, and the lines into
// the grid.
QStringList ReadCsvLines(const QString& fileName);
void LoadStringGridFromLines(StringGridModel& grid, const QStringList& lines);
// Writes every row, cells joined by ";", CR LF line ends, Windows-1252.
// Raises EInOutError when the file cannot be written.
void SaveStringGridToCSV(const StringGridModel& grid, const QString& fileName);
