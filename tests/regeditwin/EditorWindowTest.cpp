#include "TestStore.h"
#include "ui/qt/MsgBox.h"
#include "regedit/window/RegistryEditorWindow.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace karvo;
using namespace karvo::regedit;
using karvo::test::wz;

namespace {

// Answers the window's questions from queues, as a user would type them; Cancel once a queue is empty.
class ScriptedPrompts : public EditorPrompts {
public:
    std::optional<QString> askText(QWidget*, const QString&, const QString&, const QString& initial, bool) override {
        offered = initial;
        return next(texts);
    }
    std::optional<QString> openRegFile(QWidget*) override { return next(files); }
    std::optional<QString> saveRegFile(QWidget*, const QString&) override { return next(files); }
    std::optional<FindQuery> askFind(QWidget*, const FindQuery&) override { return query; }
    static std::optional<QString> next(QStringList& queue) {
        return queue.isEmpty() ? std::nullopt : std::optional(queue.takeFirst());
    }
    QStringList texts, files;
    QString offered;
    std::optional<FindQuery> query;
};

class EditorWindow : public ::testing::Test, public test::TestStore {
protected:
    EditorWindow() : window(store(), &prompts) {}
    static std::string cu(const std::string& path) { return "HKEY_CURRENT_USER\\" + path; }
    void trigger(const char* action) {
        auto* a = window.findChild<QAction*>(action);
        ASSERT_NE(nullptr, a) << action;
        a->trigger();
    }
    // The command, with the user typing text (or choosing a file) at the one question it asks.
    void answer(const char* action, const QString& text) {
        prompts.texts = prompts.files = {text};
        trigger(action);
    }
    QStringList valueRows() {
        auto* list = window.findChild<QTreeWidget*>("lvwValues");
        QStringList rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows << QStringList{list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1),
                                list->topLevelItem(i)->text(2)}.join("|");
        return rows;
    }
    QString lastBox() const { return boxes.shown.empty() ? QString() : boxes.shown.back().text; }
    test::ScopedEnv env{"KARVO_REGISTRY", storePath()};
    platform::RecordingMessageBoxes boxes;
    ScriptedPrompts prompts;
    RegistryEditorWindow window;
};

}  // namespace

TEST_F(EditorWindow, OpensOnComputerWithTheRootsUnreadAndTheAddressBarJumpsToTypedPaths) {
    auto* tree = window.findChild<QTreeWidget*>("tvwKeys");
    ASSERT_EQ(1, tree->topLevelItemCount());
    QTreeWidgetItem* computer = tree->topLevelItem(0);
    QStringList roots{computer->text(0)};  // each root read on its first expansion only
    for (int i = 0; i < computer->childCount(); ++i)
        roots << computer->child(i)->text(0) + QString::number(computer->child(i)->childCount());
    EXPECT_EQ(QStringList({"Computer", "HKEY_CLASSES_ROOT0", "HKEY_CURRENT_USER0", "HKEY_LOCAL_MACHINE0",
                           "HKEY_USERS0", "HKEY_CURRENT_CONFIG0"}),
              roots);
    window.restoreLastKey();  // none kept yet
    EXPECT_EQ("Computer", window.addressText());
    set(cu("Software\\Karvo"), "n", reg::kRegDword, std::string("\x2a\0\0\0", 4));
    auto* address = window.findChild<QLineEdit*>("txtAddress");
    address->setText("  computer\\hkcu\\SOFTWARE\\karvo");
    emit address->returnPressed();
    EXPECT_EQ("Computer\\HKEY_CURRENT_USER\\Software\\Karvo", window.addressText());
    EXPECT_EQ(QStringList({"(Default)|REG_SZ|(value not set)", "n|REG_DWORD|0x0000002a (42)"}), valueRows());
    // A missing key leads to the nearest one silently; an unknown root is reported.
    EXPECT_FALSE(window.navigateTo("HKEY_CURRENT_USER\\Software\\Nowhere\\Deeper"));
    EXPECT_EQ("HKEY_CURRENT_USER\\Software", window.currentKey().fullPath());
    EXPECT_FALSE(window.navigateTo("HKEY_NOWHERE\\x"));
    EXPECT_EQ(1u, boxes.shown.size());
    EXPECT_EQ("HKEY_CURRENT_USER\\Software", window.currentKey().fullPath());
}

TEST_F(EditorWindow, NewValuesOfEachTypeAreNamedAndEdited) {
    touch(cu("E"));
    ASSERT_TRUE(window.navigateTo("HKCU\\E"));
    const std::pair<const char*, reg::DWORD> cases[] = {
        {"actNewString", reg::kRegSz}, {"actNewBinary", reg::kRegBinary}, {"actNewExpandString", reg::kRegExpandSz},
        {"actNewMultiString", reg::kRegMultiSz}, {"actNewQword", reg::kRegQword}, {"actNewDword", reg::kRegDword}};
    for (const auto& [action, type] : cases) {
        answer(action, action);  // the new value named after its command
        ASSERT_EQ(std::optional<std::string>(action), window.currentValue());
        EXPECT_EQ(type, value(cu("E"), action).value_or(Value()).first) << action;
    }
    // The typed text is read as the selected value's type: a number that does not fit is refused.
    answer("actModify", "1ffffffff");
    EXPECT_EQ(1u, boxes.shown.size());
    answer("actModify", "2a");
    EXPECT_EQ(value(cu("E"), "actNewDword"), Value(reg::kRegDword, std::string("\x2a\0\0\0", 4)));
    // The unset default value becomes a string when given data.
    window.selectValue("");
    answer("actModify", "dflt");
    EXPECT_EQ(wz("dflt"), data(cu("E"), ""));
}

TEST_F(EditorWindow, KeysAndValuesAreCreatedRenamedAndDeletedWithConfirmationFailuresShowTheReason) {
    touch(cu("R"));
    ASSERT_TRUE(window.navigateTo("HKCU\\R"));
    answer("actNewKey", "Made");
    EXPECT_EQ("New Key #1", prompts.offered);
    EXPECT_EQ("HKEY_CURRENT_USER\\R\\Made", window.currentKey().fullPath());
    setSz(cu("R\\Made\\Inner"), "v", "1");
    answer("actRename", "Renamed");
    EXPECT_FALSE(exists(cu("R\\Made")));
    EXPECT_EQ(wz("1"), data(cu("R\\Renamed\\Inner"), "v"));
    EXPECT_EQ("Computer\\HKEY_CURRENT_USER\\R\\Renamed", window.addressText());
    trigger("actCopyKeyName");
    EXPECT_EQ("HKEY_CURRENT_USER\\R\\Renamed", QGuiApplication::clipboard()->text());
    for (const int said : {platform::vbNo, platform::vbYes}) {
        boxes.answers = {said};
        trigger("actDelete");
        EXPECT_EQ(said == platform::vbNo, exists(cu("R\\Renamed")));
    }
    EXPECT_EQ("HKEY_CURRENT_USER\\R", window.currentKey().fullPath());
    ASSERT_EQ(2u, boxes.shown.size());
    EXPECT_EQ("Confirm Key Delete", boxes.shown.back().caption);
    // A value: renamed, then deleted without its key.
    setSz(cu("V"), "a", "1");
    set(cu("V"), "old", reg::kRegBinary, "\x09");
    ASSERT_TRUE(window.navigateTo("HKCU\\V"));
    window.selectValue("old");
    answer("actRename", "new");
    EXPECT_EQ("\x09", data(cu("V"), "new"));  // and still selected: the delete below takes it
    boxes.answers = {platform::vbYes};
    trigger("actDelete");
    EXPECT_FALSE(value(cu("V"), "new"));
    EXPECT_EQ(QStringList({"(Default)|REG_SZ|(value not set)", "a|REG_SZ|1"}), valueRows());
    // The key disappears behind the window's back: the next change reports the store's error.
    window.selectValue("a");
    ASSERT_EQ(reg::kErrorSuccess, store().DeleteTree(reg::kHkeyCurrentUser, "V"));
    answer("actModify", "x");
    EXPECT_TRUE(lastBox().contains("Error 2: The system cannot find the file specified.")) << lastBox().toStdString();
    trigger("actRefresh");  // F5 shows the nearest key that is left
    EXPECT_EQ("HKEY_CURRENT_USER", window.currentKey().fullPath());
}

TEST_F(EditorWindow, ExportAndImportGoThroughTheFileMenuABadFileIsReported) {
    setSz(cu("X\\Sub"), "s", "text");
    ASSERT_TRUE(window.navigateTo("HKCU\\X"));
    const QString file = QString::fromStdString((dir / "x.reg").string());
    answer("actExport", file);
    EXPECT_TRUE(boxes.shown.empty()) << lastBox().toStdString();
    EXPECT_NE(std::string::npos, test::readFile(dir / "x.reg").find(text::utf8ToUtf16le("[HKEY_CURRENT_USER\\X\\Sub]")));
    ASSERT_EQ(reg::kErrorSuccess, store().DeleteTree(reg::kHkeyCurrentUser, "X"));
    trigger("actRefresh");
    answer("actImport", file);
    EXPECT_EQ(wz("text"), data(cu("X\\Sub"), "s"));
    ASSERT_EQ(1u, boxes.shown.size());               // the note that it worked
    EXPECT_TRUE(window.navigateTo("HKCU\\X\\Sub"));  // the tree shows the imported keys
    const auto bad = dir / "bad.reg";
    test::writeFile(bad, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X\\Sub]\r\n\"s\"=\"2\"\r\n\"new\"=dword:nothex\r\n");
    answer("actImport", QString::fromStdString(bad.string()));
    ASSERT_EQ(2u, boxes.shown.size());
    EXPECT_TRUE(lastBox().contains("bad.reg")) << lastBox().toStdString();
    // A missing file is reported too, and a cancelled dialog does nothing.
    EXPECT_FALSE(window.importFile(QString::fromStdString((dir / "none.reg").string())));
    trigger("actImport");
    EXPECT_EQ(3u, boxes.shown.size());
}

TEST_F(EditorWindow, FindNextWithF3AndReopeningAtTheLastKey) {
    setSz(cu("Find\\One"), "x", "target data");
    touch(cu("Find\\Two\\target key"));
    ASSERT_TRUE(window.navigateTo("HKCU\\find"));
    prompts.query = FindQuery{"TARGET"};
    trigger("actFind");
    EXPECT_EQ("HKEY_CURRENT_USER\\Find\\One|x", window.currentKey().fullPath() + "|" + window.currentValue().value_or(""));
    auto* f3 = window.findChild<QAction*>("actFindNext");
    EXPECT_EQ(QKeySequence(Qt::Key_F3), f3->shortcut());
    f3->trigger();
    EXPECT_EQ("HKEY_CURRENT_USER\\Find\\Two\\target key", window.currentKey().fullPath());
    ASSERT_TRUE(window.navigateTo("HKCU\\find\\one"));
    window.close();
    EXPECT_EQ(wz("Computer\\HKEY_CURRENT_USER\\Find\\One"),
              data(cu("Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit"), "LastKey"));
    RegistryEditorWindow second(store(), &prompts);
    second.restoreLastKey();
    EXPECT_EQ("HKEY_CURRENT_USER\\Find\\One", second.currentKey().fullPath());
}
