#pragma once
// Every control of the main window as data: container, kind, name, design-time
// caption, command ID (help context), help keyword, tag and the design-time
// settings that matter. The window is built from this table in its order, so
// the order of the rows is the component order that the binding walks.
#include "model/SequenceLoading.h"
#include "ui/Colors.h"

#include <QString>
#include <span>

enum class ControlKind {
    Panel,
    PageControl,
    TabSheet,
    GroupBox,
    SpinEdit,
    Edit,
    CheckBox,
    RadioGroup,
    Shape,
    Label,
    Button,
    SpinButton,
    Led,
    ProgressBar,
    ComboBox,
    Memo,
    StringGrid,
};

// The class name a control of Kind reports.
const char* ControlKindClassName(ControlKind kind);

namespace InventoryFlag {
constexpr unsigned ReadOnly = 0x1;
constexpr unsigned Disabled = 0x2;
constexpr unsigned Hidden = 0x4;
constexpr unsigned TabHidden = 0x8; // a page whose tab is hidden at start
} // namespace InventoryFlag

// Shape of a string grid at design time.
struct GridShape {
    int cols = 0; // 0 = not a grid
    int rows = 0;
    int fixedCols = 0;
    int fixedRows = 0;
    int defaultColWidth = 64;
    bool editable = false;
    bool rowSelect = false;
};

constexpr TColor NoDesignColor = 0xFFFFFFFF;

// A row leaves out the fields that hold their default.
struct InventoryItem {
    const char* parent; // "" = the window itself
    ControlKind kind;
    const char* name;
    const char* caption = ""; // caption, title or tab text as designed (English)
    int helpContext = 0;      // command ID of a parameter control; 0 = none
    int tag = 0;
    unsigned flags = 0;
    int increment = 1; // spin edit arrow step
    const char* helpKeyword = "";
    const char* items = ""; // radio group items, separated by "|"
    int columns = 1;        // radio group columns
    const char* text = "";  // design-time text of an edit or combo box
    TColor color = NoDesignColor;
    GridShape grid = {};
};

std::span<const InventoryItem> MainWindowInventory();
// The row of the control called Name, or nullptr.
const InventoryItem* FindInventoryItem(const QString& name);
// The label that names an edit or spin edit: the one label in the edit's
// container that carries the edit's command ID. Nothing when the edit has no
// command ID, or when no label or several labels (column captions) carry it.
const InventoryItem* LabelOfEdit(const InventoryItem& edit);

struct TCommandRecord;
class CommandTable;
// The rows of the command table learn which controls show them, as the
// window's binding does it, from this inventory alone: the kind of control
// (SenderType), its name (SenderName1, a second one SenderName2) and its page
// of the main page control (1 = Main Setting). For what works without a
// window: the command-line front end and the rules' own tests.
void BindCommandsFromInventory(CommandTable& table);
// The controls a file's record may name, as the window accepts them, from the
// inventory: a control the binding tied to that command, of the kind the
// record says; a radio group takes its items, a check box 0 and 1.
BoundControlLookup InventoryBoundControls(const CommandTable& table);

// The non-visual components, created after the controls in this order.
struct NonVisualItem {
    const char* name;
    const char* className;
    int helpContext;
    int interval; // timers: period in ms
    bool enabled; // timers: running from creation
};
std::span<const NonVisualItem> MainWindowNonVisualComponents();
