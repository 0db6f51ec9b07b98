#pragma once
// Where the controls of the main window sit. Every container gets a grid
// whose cells are written as rows of control names; sizes follow the kinds.
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class TFormMain;

// One cell of a container's grid, parsed from a token of a layout row:
// "Name", "Name:C" (C columns wide) or "Name:CxR" (C columns, R rows);
// a leading "^" centres the control in its cell, ">" puts it right; "." is an
// empty cell.
struct LayoutCell {
    QString name;
    int row = 0;
    int col = 0;
    int colSpan = 1;
    int rowSpan = 1;
    char align = 0; // 0 fill/left, '^' centre, '>' right
};

// Parses the rows of one container; an empty list for malformed tokens is not
// possible: a token that does not parse is taken as a name.
std::vector<LayoutCell> ParseLayoutRows(const QStringList& rows);

// Labels placed beside a page control's tabs, in the room the tabs leave:
// (page control, label).
std::vector<std::pair<const char*, const char*>> LabelsBesideTabs();

// Every container that has a grid, with the names its grid places.
QStringList LaidOutContainers();
QStringList LaidOutNames(const QString& container);

// Places every control of the window.
void ArrangeMainWindow(TFormMain& form);
