// The comparison window's logic against a recording front end, and values shown as the editor shows them.
#include "compare/CompareWindow.h"
#include "compare/ValueText.h"

#include "SampleComparison.h"

#include <map>

#include <gtest/gtest.h>

using namespace karvo::compare;
using namespace karvo::test;
using karvo::reg::DWORD;

namespace {

struct ValueCase {
    const char* name;
    DWORD type;
    std::string bytes;
    const char* typeText;
    std::vector<std::string> lines;
};

TEST(ValueText, ShowsEachTypeAsTheEditorDoesAndMalformedDataAsHex) {
    using namespace std::string_literals;
    const ValueCase cases[] = {
        {"v", 1, textData("caf\u00e9").bytes, "REG_SZ", {"caf\u00e9"}},
        {"v", 2, textData("%TEMP%").bytes, "REG_EXPAND_SZ", {"%TEMP%"}},
        {"v", 1, "a\0b\0"s, "REG_SZ", {"ab"}},                   // no terminator
        {"v", 1, "a\0\0\0b\0\0\0"s, "REG_SZ", {"a"}},            // up to the first zero
        {"v", 1, "a\0b"s, "REG_SZ", {"61 00 62"}},               // odd length
        {"", 1, "", "REG_SZ", {"(value not set)"}},
        {"", 1, "\0\0"s, "REG_SZ", {""}},
        {"v", 1, "", "REG_SZ", {""}},
        {"v", 4, dwordData(42).bytes, "REG_DWORD", {"0x0000002a (42)"}},
        {"v", 4, dwordData(0xFFFFFFFF).bytes, "REG_DWORD", {"0xffffffff (4294967295)"}},
        {"v", 4, "\x01\x02"s, "REG_DWORD", {"01 02"}},
        {"v", 5, "\0\0\0\x2a"s, "REG_DWORD_BIG_ENDIAN", {"0x0000002a (42)"}},
        {"v", 11, "\x2a\0\0\0\0\0\0\0"s, "REG_QWORD", {"0x000000000000002a (42)"}},
        {"v", 11, "\x2a\0\0\0"s, "REG_QWORD", {"2a 00 00 00"}},
        {"v", 3, "\x01\x02\xff"s, "REG_BINARY", {"01 02 ff"}},
        {"v", 3, "", "REG_BINARY", {"(zero-length binary value)"}},
        {"", 3, "", "REG_BINARY", {"(zero-length binary value)"}},
        {"v", 0, "\x10"s, "REG_NONE", {"10"}},
        {"v", 6, "\x41\0"s, "REG_LINK", {"41 00"}},
        {"v", 20, "\x05"s, "REG_UNKNOWN (0x14)", {"05"}},
        {"v", 7, multiData({"one", "two"}).bytes, "REG_MULTI_SZ", {"one", "two"}},
        {"v", 7, "a\0\0\0\0\0b\0\0\0\0\0"s, "REG_MULTI_SZ", {"a"}},  // an empty string ends the list
        {"v", 7, "a\0b\0"s, "REG_MULTI_SZ", {"ab"}},             // no terminators
        {"v", 7, "", "REG_MULTI_SZ", {""}},
        {"v", 7, "a\0b"s, "REG_MULTI_SZ", {"61 00 62"}},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.typeText << " " << testing::PrintToString(c.bytes));
        EXPECT_EQ(typeName(c.type), c.typeText);
        EXPECT_EQ(dataLines(c.name, {c.type, c.bytes}), c.lines);
    }
    EXPECT_EQ(valueName(""), "(Default)");
    EXPECT_EQ(dataText("v", multiData({"one", "two"})), "one two");
    const std::string big = dataText("v", {3, std::string(kShownBytes + 10, '\x07')});
    EXPECT_EQ(big.substr(0, 6), "07 07 ");
    EXPECT_NE(big.find("... (2058 bytes)"), std::string::npos);
}

TEST(CompareCounts, SaysWhatDiffersOrThatNothingDoes) {
    Comparison c = sampleComparison();
    EXPECT_EQ(countsText(c), "2 values changed, 1 only in the backup, 2 only in the registry; "
                             "1 key only in the backup, 1 only in the registry");
    c.valueCounts = {.same = 0, .changed = 1, .onlyInBackup = 0, .onlyInRegistry = 0};
    c.keyCounts = {};
    EXPECT_EQ(countsText(c), "1 value changed, 0 only in the backup, 0 only in the registry; "
                             "0 keys only in the backup, 0 only in the registry");
    c.valueCounts = {.same = 5, .changed = 0, .onlyInBackup = 0, .onlyInRegistry = 0};
    EXPECT_EQ(countsText(c), "The registry holds exactly what the backup holds.");
    c.ok = false;
    c.problem = "x.reg cannot be read";
    EXPECT_EQ(countsText(c), "The comparison could not be made: x.reg cannot be read");
}

// Mirrors the tree as the control would hold it, and counts the batches it is handed.
class RecordingView : public CompareView {
public:
    std::map<std::string, std::string, std::less<>> texts;
    std::map<std::string, bool, std::less<>> checked;
    std::map<RowId, std::vector<Row>> below;  // kNoRow: the top level
    std::vector<std::size_t> batches;         // the size of each addRows
    bool closed = false;

    void addRows(RowId parent, std::span<const Row> rows) override {
        batches.push_back(rows.size());
        below[parent].insert(below[parent].end(), rows.begin(), rows.end());
    }
    void removeChildren(RowId parent) override {
        const auto it = below.find(parent);
        if (it == below.end())
            return;
        for (const Row& row : it->second)
            removeChildren(row.id);
        below.erase(parent);
    }
    void setText(std::string_view control, const std::string& text) override { texts[std::string(control)] = text; }
    void setChecked(std::string_view control, bool on) override { checked[std::string(control)] = on; }
    void closeWindow() override { closed = true; }
    void showOpen(RowId row) override { open.push_back(row); }
    std::vector<RowId> open;

    std::vector<std::string> names(RowId parent) const {
        std::vector<std::string> out;
        if (const auto it = below.find(parent); it != below.end())
            for (const Row& row : it->second)
                out.push_back(row.name);
        return out;
    }
    const Row& row(RowId parent, std::string_view name) const {
        for (const Row& r : below.at(parent))
            if (r.name == name)
                return r;
        throw std::out_of_range(std::string(name));
    }
};

std::string cells(const Row& r) {
    return std::string(markWords(r.mark)) + '|' + r.type + '|' + r.backup + '|' + r.registry;
}

class CompareWindowTest : public testing::Test {
protected:
    RecordingView view;
    CompareWindow window{view, "Sample.reg", sampleComparison()};
};

TEST_F(CompareWindowTest, OpensOnTheTopKeyOpenedShowingDifferencesOnly) {
    window.load();
    EXPECT_EQ(view.texts["frmCompare"], "Compare Sample.reg with the Registry");
    EXPECT_EQ(view.texts["lblCounts"], countsText(window.comparison()));
    EXPECT_TRUE(view.checked["optDifferences"]);
    EXPECT_FALSE(view.checked["optEverything"]);
    EXPECT_EQ(view.names(kNoRow), std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Sample"});
    const Row& top = view.below[kNoRow][0];
    EXPECT_EQ(top.mark, Mark::Contains);
    EXPECT_TRUE(top.expandable);
    // The top key's level comes at once, shown open; nothing below the keys in it until they are.
    EXPECT_EQ(view.below.size(), 2u);
    EXPECT_EQ(view.batches, (std::vector<std::size_t>{1, 6}));
    EXPECT_EQ(view.open, std::vector<RowId>{top.id});
}

TEST_F(CompareWindowTest, EachFirstExpansionHandsOverOneLevelInOneBatch) {
    window.load();
    const RowId top = view.below[kNoRow][0].id;
    window.expanded(top);
    // Values first, then sub-keys; what is the same is hidden.
    EXPECT_EQ(view.names(top), (std::vector<std::string>{"Colour", "Gone", "New", "Paths", "Added", "Sub"}));
    EXPECT_EQ(view.batches.size(), 2u);
    window.expanded(top);
    EXPECT_EQ(view.batches.size(), 2u);

    EXPECT_EQ(cells(view.row(top, "Colour")), "changed|REG_SZ|red|blue");
    EXPECT_FALSE(view.row(top, "Colour").expandable);
    const Row& gone = view.row(top, "Gone");
    EXPECT_EQ(cells(gone), "only in the backup|REG_DWORD|0x0000002a (42)|");
    const Row& fresh = view.row(top, "New");
    EXPECT_EQ(cells(fresh), "only in the registry|REG_SZ||fresh");
    EXPECT_EQ(oneLine(view.row(top, "Colour")), "\u2260 Colour  [REG_SZ]  red \u2192 blue");
    EXPECT_EQ(oneLine(fresh), "\u2212 New  [REG_SZ]  fresh");
    EXPECT_EQ(view.row(top, "Added").mark, Mark::OnlyInRegistry);
    EXPECT_EQ(view.row(top, "Sub").mark, Mark::Contains);
    EXPECT_EQ(view.row(top, "Sub").kind, RowKind::Key);

    // A changed multi-string: one row per string below it.
    const Row& paths = view.row(top, "Paths");
    EXPECT_TRUE(paths.expandable);
    EXPECT_EQ(paths.backup, "a b");
    window.expanded(paths.id);
    ASSERT_EQ(view.names(paths.id), (std::vector<std::string>{"[1]", "[2]", "[3]"}));
    const auto& lines = view.below[paths.id];
    EXPECT_EQ(cells(lines[0]), "same||a|a");
    EXPECT_EQ(cells(lines[1]), "changed||b|c");
    EXPECT_EQ(cells(lines[2]), "only in the registry|||d");
    EXPECT_EQ(lines[2].kind, RowKind::Line);

    window.expanded(view.row(top, "Sub").id);
    EXPECT_EQ(view.names(view.row(top, "Sub").id), std::vector<std::string>{"Deep"});
    EXPECT_FALSE(view.row(view.row(top, "Sub").id, "Deep").expandable);  // nothing in it

    // Collapsing drops the branch; the next expansion makes it again.
    const std::size_t before = window.liveRows();
    window.collapsed(top);
    EXPECT_EQ(view.below.count(top), 0u);
    EXPECT_EQ(window.liveRows(), 1u);
    window.expanded(top);
    EXPECT_EQ(view.names(top).size(), 6u);
    EXPECT_LT(window.liveRows(), before);
}

TEST_F(CompareWindowTest, TheSwitchRefillsFromTheTop) {
    window.load();
    const RowId firstTop = view.below[kNoRow][0].id;
    window.expanded(firstTop);
    window.click("optEverything");
    EXPECT_TRUE(view.checked["optEverything"]);
    EXPECT_FALSE(view.checked["optDifferences"]);
    EXPECT_EQ(view.below.size(), 2u);  // the top level and the top key's, afresh
    const RowId top = view.below[kNoRow][0].id;
    EXPECT_EQ(view.names(top), (std::vector<std::string>{"(Default)", "Colour", "Gone", "New", "Paths", "Added",
                                                         "Alike", "Sub"}));
    const Row& def = view.row(top, "(Default)");
    EXPECT_EQ(cells(def), "same|REG_SZ|hello|hello");
    EXPECT_EQ(view.row(top, "Alike").mark, Mark::Same);
    EXPECT_TRUE(view.row(top, "Alike").expandable);

    const std::size_t batches = view.batches.size();
    window.click("optEverything");  // already on: nothing is refilled
    EXPECT_EQ(view.batches.size(), batches);
    window.click("optDifferences");
    EXPECT_TRUE(window.differencesOnly());
    EXPECT_EQ(view.names(view.below[kNoRow][0].id).size(), 6u);
}

TEST_F(CompareWindowTest, IdenticalFailedAndHiddenlyChangedComparisons) {
    Comparison same = sampleComparison();
    for (KeyEntry& key : same.keys) {
        key.difference = Difference::Same;
        key.differs = false;
        for (ValueEntry& value : key.values)
            value.difference = Difference::Same;
    }
    RecordingView other;
    CompareWindow identical(other, "Same.reg", std::move(same));
    identical.load();
    EXPECT_TRUE(other.names(kNoRow).empty());
    identical.click("optEverything");
    EXPECT_EQ(other.names(kNoRow).size(), 1u);

    // A change the row's text does not show is still shown as one.
    Comparison hidden = sampleComparison();
    hidden.keys[0].values[1].backup = {3, std::string(kShownBytes, '\x01') + "\x02"};
    hidden.liveData[hidden.keys[0].values[1].live] = {3, std::string(kShownBytes, '\x01') + "\x03"};
    RecordingView fourth;
    CompareWindow window4(fourth, "Hidden.reg", std::move(hidden));
    window4.load();
    window4.expanded(fourth.below[kNoRow][0].id);
    const std::string shown = fourth.row(fourth.below[kNoRow][0].id, "Colour").registry;
    EXPECT_EQ(shown.substr(shown.size() - 25), " (differs from byte 2048)");

    RecordingView third;
    CompareWindow failed(third, "Bad.reg", Comparison{});
    failed.load();
    failed.click("optEverything");
    EXPECT_TRUE(third.names(kNoRow).empty());
    failed.click("cmdClose");
    EXPECT_TRUE(third.closed);
}

TEST(CompareWindowSize, AKeyWithManySubKeysOpensInOneBatch) {
    Comparison c;
    c.ok = true;
    c.keys.push_back({"HKEY_CURRENT_USER\\Software\\Big", Difference::Same, false, true, kNoKey, {}, {}});
    c.tops = {0};
    for (std::uint32_t i = 1; i <= 20000; ++i) {
        c.keys.push_back({"k" + std::to_string(i), Difference::OnlyInRegistry, false, true, 0, {}, {}});
        c.keys[0].children.push_back(i);
    }
    RecordingView view;
    CompareWindow window(view, "Big.reg", std::move(c));
    window.load();
    window.expanded(view.below[kNoRow][0].id);
    EXPECT_EQ(view.batches, (std::vector<std::size_t>{1, 20000}));
}

}  // namespace
