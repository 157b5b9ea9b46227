#include "compare/CompareWindow.h"

#include "compare/ValueText.h"

#include <algorithm>
#include <array>
#include <utility>

namespace karvo::compare {

namespace {

constexpr std::array kControls{
    Control{"lblCounts", Kind::Label, "", 120, 120, 11280, 300},
    Control{"optDifferences", Kind::Option, "Show &differences only", 120, 510, 3600, 300},
    Control{"optEverything", Kind::Option, "Show &everything", 3840, 510, 3600, 300},
    Control{"tvwCompare", Kind::Tree, "", 120, 930, 11280, 5850},
    Control{"cmdClose", Kind::Button, "Close", 9960, 6900, 1440, 420},
};

constexpr std::array<const char*, 5> kColumns{"Name", "Type", "In the backup", "In the registry", "Difference"};

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

Mark markOf(Difference difference) {
    switch (difference) {
    case Difference::Same: return Mark::Same;
    case Difference::Changed: return Mark::Changed;
    case Difference::OnlyInBackup: return Mark::OnlyInBackup;
    case Difference::OnlyInRegistry: return Mark::OnlyInRegistry;
    }
    return Mark::Same;
}

constexpr const char* kRemoved = "(removed by the backup)";

}  // namespace

std::span<const Control> controls() { return kControls; }
std::span<const char* const> columns() { return kColumns; }

const char* markSign(Mark mark) {
    switch (mark) {
    case Mark::Same: return "=";
    case Mark::Changed: return "\u2260";
    case Mark::OnlyInBackup: return "+";
    case Mark::OnlyInRegistry: return "\u2212";
    case Mark::Contains: return "*";
    }
    return "";
}

const char* markWords(Mark mark) {
    switch (mark) {
    case Mark::Same: return "same";
    case Mark::Changed: return "changed";
    case Mark::OnlyInBackup: return "only in the backup";
    case Mark::OnlyInRegistry: return "only in the registry";
    case Mark::Contains: return "differences below";
    }
    return "";
}

Colour markColour(Mark mark) {
    switch (mark) {
    case Mark::Same: return {0, 0, 0};
    case Mark::Changed: return {0, 0, 200};
    case Mark::OnlyInBackup: return {0, 128, 0};
    case Mark::OnlyInRegistry: return {192, 0, 0};
    case Mark::Contains: return {128, 0, 128};
    }
    return {0, 0, 0};
}

std::string oneLine(const Row& row) {
    std::string line = std::string(markSign(row.mark)) + ' ' + row.name;
    if (!row.type.empty())
        line += "  [" + row.type + ']';
    if (row.mark == Mark::Changed)
        line += "  " + row.backup + " \u2192 " + row.registry;
    else if (!row.backup.empty())
        line += "  " + row.backup;
    else if (!row.registry.empty())
        line += "  " + row.registry;
    return line;
}

std::string countsText(const Comparison& c) {
    if (!c.ok)
        return "The comparison could not be made: " + c.problem;
    if (c.identical())
        return "The registry holds exactly what the backup holds.";
    const Counts& v = c.valueCounts;
    const Counts& k = c.keyCounts;
    return plural(v.changed, "value", "values") + " changed, " + std::to_string(v.onlyInBackup) +
           " only in the backup, " + std::to_string(v.onlyInRegistry) + " only in the registry; " +
           plural(k.onlyInBackup, "key", "keys") + " only in the backup, " + std::to_string(k.onlyInRegistry) +
           " only in the registry";
}

CompareWindow::CompareWindow(CompareView& view, std::string backupName, Comparison comparison)
    : view_(view), backupName_(std::move(backupName)), comparison_(std::move(comparison)) {}

void CompareWindow::load() {
    view_.setText(kWindowName, "Compare " + backupName_ + " with the Registry");
    view_.setText("lblCounts", countsText(comparison_));
    view_.setChecked("optDifferences", differencesOnly_);
    view_.setChecked("optEverything", !differencesOnly_);
    refill();
}

void CompareWindow::click(std::string_view control) {
    if (control == "cmdClose") {
        view_.closeWindow();
    } else if (control == "optDifferences" || control == "optEverything") {
        const bool differencesOnly = control == "optDifferences";
        view_.setChecked("optDifferences", differencesOnly);
        view_.setChecked("optEverything", !differencesOnly);
        if (differencesOnly != differencesOnly_) {
            differencesOnly_ = differencesOnly;
            refill();
        }
    }
}

bool CompareWindow::shown(const KeyEntry& key) const {
    return !differencesOnly_ || key.differs || key.difference != Difference::Same;
}

bool CompareWindow::shown(const ValueEntry& value) const {
    return !differencesOnly_ || value.difference != Difference::Same;
}

bool CompareWindow::hasRowsBelow(const KeyEntry& key) const {
    const auto& keys = comparison_.keys;
    return std::any_of(key.values.begin(), key.values.end(), [&](const ValueEntry& v) { return shown(v); }) ||
           std::any_of(key.children.begin(), key.children.end(),
                       [&](std::uint32_t child) { return child < keys.size() && shown(keys[child]); });
}

Row CompareWindow::keyRow(std::uint32_t index) const {
    const KeyEntry& key = comparison_.keys[index];
    Row row;
    row.kind = RowKind::Key;
    row.mark = key.difference != Difference::Same ? markOf(key.difference) : key.differs ? Mark::Contains : Mark::Same;
    row.expandable = hasRowsBelow(key);
    row.name = key.name;
    if (key.removedByBackup)
        row.backup = kRemoved;
    return row;
}

Row CompareWindow::valueRow(const ValueEntry& value) const {
    Row row;
    row.kind = RowKind::Value;
    row.mark = markOf(value.difference);
    row.name = valueName(value.name);
    const bool inBackup = value.difference != Difference::OnlyInRegistry;
    const bool live = value.difference == Difference::Changed || value.difference == Difference::OnlyInRegistry;
    const Data& liveData = comparison_.liveOf(value);
    const Data& shownType = inBackup ? value.backup : liveData;
    row.type = typeName(shownType.type);
    if (value.difference == Difference::Changed && liveData.type != value.backup.type)
        row.type += " \u2192 " + typeName(liveData.type);
    if (value.removedByBackup)
        row.backup = kRemoved;
    else if (inBackup)
        row.backup = dataText(value.name, value.backup);
    if (live)
        row.registry = dataText(value.name, liveData);
    else if (value.difference == Difference::Same && !value.removedByBackup)
        row.registry = row.backup;
    // Data that differs only where the row does not show it (past the bytes drawn, after a string's
    // first zero) still reads as changed.
    if (value.difference == Difference::Changed && row.backup == row.registry) {
        const std::string& x = value.backup.bytes;
        const std::string& y = liveData.bytes;
        std::size_t at = 0;
        while (at < x.size() && at < y.size() && x[at] == y[at])
            ++at;
        row.registry += " (differs from byte " + std::to_string(at) + ")";
    }
    // A multi-string shows its strings one per row below it.
    const auto lines = [&](const Data& d) {
        return d.type == reg::kRegMultiSz ? dataLines(value.name, d).size() : std::size_t{0};
    };
    row.expandable = (inBackup && lines(value.backup) > 1) || (live && lines(liveData) > 1);
    return row;
}

RowId CompareWindow::allocate(Node node) {
    node.live = true;
    if (!free_.empty()) {
        const RowId id = free_.back();
        free_.pop_back();
        nodes_[id] = std::move(node);
        return id;
    }
    nodes_.push_back(std::move(node));
    return static_cast<RowId>(nodes_.size() - 1);
}

void CompareWindow::add(RowId parent, std::vector<Node> nodes, std::vector<Row> rows) {
    if (rows.empty())
        return;
    std::vector<RowId> ids;
    ids.reserve(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i].parent = parent;
        ids.push_back(allocate(std::move(nodes[i])));
        rows[i].id = ids.back();
    }
    view_.addRows(parent, rows);
    std::vector<RowId>& siblings = parent == kNoRow ? tops_ : nodes_[parent].children;
    siblings.insert(siblings.end(), ids.begin(), ids.end());
}

void CompareWindow::refill() {
    view_.removeChildren(kNoRow);
    for (RowId top : std::exchange(tops_, {}))
        release(top);
    if (!comparison_.ok)
        return;
    std::vector<Node> nodes;
    std::vector<Row> rows;
    for (std::uint32_t top : comparison_.tops) {
        if (top >= comparison_.keys.size() || !shown(comparison_.keys[top]))
            continue;
        nodes.push_back(Node(top));
        rows.push_back(keyRow(top));
    }
    add(kNoRow, std::move(nodes), std::move(rows));
    // The top keys open at once, so the window shows what differs without a click.
    for (const RowId top : tops_) {
        fill(top);
        if (!nodes_[top].children.empty())
            view_.showOpen(top);
    }
}

void CompareWindow::fill(RowId id) {
    Node& node = nodes_[id];
    node.read = true;
    const std::uint32_t keyIndex = node.key;
    const KeyEntry& key = comparison_.keys[keyIndex];
    std::vector<Node> nodes;
    std::vector<Row> rows;
    if (node.value == kNoKey) {
        // The key's own values first, then its sub-keys: a key with a great many sub-keys keeps its
        // values in sight.
        for (std::uint32_t v = 0; v < key.values.size(); ++v) {
            if (!shown(key.values[v]))
                continue;
            nodes.push_back(Node(keyIndex, v));
            rows.push_back(valueRow(key.values[v]));
        }
        for (std::uint32_t child : key.children) {
            if (child >= comparison_.keys.size() || !shown(comparison_.keys[child]))
                continue;
            nodes.push_back(Node(child));
            rows.push_back(keyRow(child));
        }
    } else if (node.line == kNoKey) {
        const ValueEntry& value = key.values[node.value];
        const bool inBackup = value.difference != Difference::OnlyInRegistry;
        const bool live = value.difference == Difference::Changed || value.difference == Difference::OnlyInRegistry;
        const auto linesOf = [&](bool present, const Data& d) {
            return present && d.type == reg::kRegMultiSz ? dataLines(value.name, d) : std::vector<std::string>{};
        };
        const std::vector<std::string> backup = linesOf(inBackup, value.backup);
        std::vector<std::string> registry = linesOf(live, comparison_.liveOf(value));
        if (value.difference == Difference::Same)
            registry = backup;
        const std::size_t count = std::max(backup.size(), registry.size());
        for (std::uint32_t i = 0; i < count; ++i) {
            Row row;
            row.kind = RowKind::Line;
            row.name = "[" + std::to_string(i + 1) + "]";
            const bool b = i < backup.size(), r = i < registry.size();
            if (b)
                row.backup = backup[i];
            if (r)
                row.registry = registry[i];
            row.mark = b && r ? (backup[i] == registry[i] ? Mark::Same : Mark::Changed)
                              : b ? Mark::OnlyInBackup : Mark::OnlyInRegistry;
            nodes.emplace_back(keyIndex, node.value, i);
            nodes.back().read = true;
            rows.push_back(std::move(row));
        }
    }
    add(id, std::move(nodes), std::move(rows));
}

void CompareWindow::expanded(RowId row) {
    if (valid(row) && !nodes_[row].read)
        fill(row);
}

void CompareWindow::collapsed(RowId row) {
    if (!valid(row) || !nodes_[row].read)
        return;
    // The branch is made again from the comparison at the next expansion: a collapsed level of a
    // hundred thousand keys holds nothing meanwhile.
    Node& node = nodes_[row];
    node.read = false;
    if (node.children.empty())
        return;
    view_.removeChildren(row);
    for (RowId child : std::exchange(node.children, {}))
        release(child);
}

void CompareWindow::release(RowId row) {
    for (RowId child : nodes_[row].children)
        release(child);
    nodes_[row] = Node{};
    free_.push_back(row);
}

}  // namespace karvo::compare
