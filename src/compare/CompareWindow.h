// What the comparison window does, without a window: its controls as one table, the counts at the
// top, the switch between differences only and everything, and the tree of keys and values, filled
// one level per first expansion in one batch and forgetting a branch when it is collapsed. A front
// end creates the controls from the table, passes each event on, and carries out what CompareView
// is told. The window owns its comparison.
#pragma once

#include "compare/Comparison.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace karvo::compare {

inline constexpr const char* kWindowName = "frmCompare";

enum class Kind {
    Label,   // one line of text
    Option,  // a radio button; the options form one group
    Tree,    // the keys and values, with the columns of columns()
    Button,  // a push button
};

struct Control {
    const char* name;
    Kind kind;
    const char* text;
    int left, top, width, height;  // twips, in the client area
};

inline constexpr int kClientWidth = 11520;  // twips
inline constexpr int kClientHeight = 7440;

// The controls in the order they are made, which is also the Tab key's order.
std::span<const Control> controls();

// The tree's column headings: name, type, the backup's data, the registry's data, the difference.
std::span<const char* const> columns();

// What a row is: a key, a value, or one string of a multi-string value.
enum class RowKind : std::uint8_t { Key, Value, Line };

// How a row differs; a key that is in both but has differences below it is Contains.
enum class Mark : std::uint8_t { Same, Changed, OnlyInBackup, OnlyInRegistry, Contains };

// The mark's sign ("=", "≠", "+", "−", "*") and its words for the difference column.
const char* markSign(Mark mark);
const char* markWords(Mark mark);
// The colour a row is drawn in, alike in every front end.
struct Colour {
    std::uint8_t red, green, blue;
};
Colour markColour(Mark mark);

using RowId = std::uint32_t;
inline constexpr RowId kNoRow = 0xFFFFFFFFu;

struct Row {
    RowId id = kNoRow;
    RowKind kind = RowKind::Key;
    Mark mark = Mark::Same;
    // It has rows below it that have not been handed over yet: the control shows an expander.
    bool expandable = false;
    std::string name, type, backup, registry;
};

// A row on one line, for a tree control with a single column: "≠ Colour  [REG_SZ]  red → blue".
std::string oneLine(const Row& row);

// What the window's logic asks of the window. Controls are named as in controls(); the window
// itself is kWindowName.
class CompareView {
public:
    // Appends rows under parent (kNoRow: the top level), in one batch, in order.
    virtual void addRows(RowId parent, std::span<const Row> rows) = 0;
    // Drops every row below parent (kNoRow: all rows); the parent keeps its expander.
    virtual void removeChildren(RowId parent) = 0;
    // Shows a row opened, its rows already handed over.
    virtual void showOpen(RowId row) = 0;
    // The caption (kWindowName) or a label's text.
    virtual void setText(std::string_view control, const std::string& text) = 0;
    virtual void setChecked(std::string_view control, bool checked) = 0;
    virtual void closeWindow() = 0;

protected:
    ~CompareView() = default;
};

// "3 values changed, 1 only in the backup, 2 only in the registry; 0 keys only in the backup, 1 only
// in the registry", or why there is nothing to count.
std::string countsText(const Comparison& comparison);

class CompareWindow {
public:
    CompareWindow(CompareView& view, std::string backupName, Comparison comparison);

    // The caption, the counts, the switch and the top keys.
    void load();
    // Events from the control: a row was opened or closed.
    void expanded(RowId row);
    void collapsed(RowId row);
    // A click on the named control: the two options and the Close button.
    void click(std::string_view control);

    bool differencesOnly() const { return differencesOnly_; }
    const Comparison& comparison() const { return comparison_; }
    // Rows handed to the view and not dropped since (tests and the benchmark).
    std::size_t liveRows() const { return nodes_.size() - free_.size(); }

private:
    struct Node {
        Node() = default;
        explicit Node(std::uint32_t k, std::uint32_t v = kNoKey, std::uint32_t l = kNoKey) : key(k), value(v), line(l) {}
        std::uint32_t key = kNoKey;
        std::uint32_t value = kNoKey;  // kNoKey: the row is the key itself
        std::uint32_t line = kNoKey;   // a multi-string's line
        RowId parent = kNoRow;
        std::vector<RowId> children;
        bool read = false;
        bool live = false;
    };

    bool valid(RowId row) const { return row < nodes_.size() && nodes_[row].live; }
    bool shown(const KeyEntry& key) const;
    bool shown(const ValueEntry& value) const;
    bool hasRowsBelow(const KeyEntry& key) const;
    Row keyRow(std::uint32_t key) const;
    Row valueRow(const ValueEntry& value) const;
    RowId allocate(Node node);
    void add(RowId parent, std::vector<Node> nodes, std::vector<Row> rows);
    void fill(RowId row);
    void release(RowId row);
    void refill();

    CompareView& view_;
    std::string backupName_;
    Comparison comparison_;
    bool differencesOnly_ = true;
    std::vector<Node> nodes_;
    std::vector<RowId> free_;
    std::vector<RowId> tops_;
};

}  // namespace karvo::compare
