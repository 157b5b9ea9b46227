// A Wine user's backup and restore, end to end, on the run's throw-away Wine prefix, checked with
// Wine's own reg.
#include "../ui/qt/WindowFixture.h"

#include "WinePrefix.h"
#include "registry/RegistryPipe.h"

#include <sys/wait.h>

using namespace karvo;

namespace {

class WineBackup : public test::WindowTest {
protected:
    void SetUp() override {
        if (const std::string why = test::winePrefixMissing(); !why.empty())
            GTEST_SKIP() << why;
        wineEnv = std::make_unique<test::ScopedEnv>("KARVO_REGISTRY", "wine:" + prefix);
        store = reg::openWineRegistry(prefix);
    }
    void TearDown() override {
        if (wineEnv)
            wine("reg delete \"" + keyPath + "\" /f");
    }
    // Runs Wine's `reg ARGS` on the prefix: its exit status, and its output in *out. The output
    // goes through a file, since Wine's own service processes inherit it and outlive the command.
    int wine(const std::string& args, std::string* out = nullptr) {
        const std::string file = (folder / "reg.out").string();
        const int rc = std::system(("WINEPREFIX='" + prefix + "' WINEDEBUG=-all wine " + args + " >'" + file +
                                    "' 2>/dev/null </dev/null").c_str());
        if (out)
            *out = test::readFile(file);
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::string colour() {
        std::string out;
        wine("reg query \"" + keyPath + "\" /v Colour", &out);
        return out.find("Blue") != std::string::npos ? "Blue" : out.find("Red") != std::string::npos ? "Red" : out;
    }

    const std::string prefix = test::testWinePrefix();
    const std::string keyPath = "HKEY_CURRENT_USER\\Software\\Karvo Wine Test " + std::to_string(::getpid());
    std::unique_ptr<test::ScopedEnv> wineEnv;
};

TEST_F(WineBackup, BackUpChangeInWineRestoreAndWineSeesTheKeyAsItWas) {
    ASSERT_EQ(wine("reg add \"" + keyPath + "\\Alpha\" /f"), 0);
    ASSERT_EQ(wine("reg add \"" + keyPath + "\" /v Colour /d Blue /f"), 0);
    load();
    QTreeWidgetItem* item = node(QString::fromStdString(keyPath));
    ASSERT_TRUE(item);
    clickNode(item);
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    const QString name = txtFilename()->text();
    EXPECT_EQ(text("lblMessage"), name + " backup has been created");

    wine("reg add \"" + keyPath + "\" /v Colour /d Red /f");
    wine("reg delete \"" + keyPath + "\\Alpha\" /f");
    ASSERT_EQ(colour(), "Red");
    clickBackup(name + "_HKCU");
    press("cmdRestore");
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    EXPECT_EQ(colour(), "Blue");
    EXPECT_EQ(wine("reg query \"" + keyPath + "\\Alpha\""), 0);
    ASSERT_EQ(item->childCount(), 1);  // the tree read the restored key again, through the helper
    EXPECT_EQ(item->child(0)->text(0), "Alpha");

    // Wine's regedit ends with status 0 even when it cannot write the file.
    std::filesystem::create_directory(folder / "Blocked_HKCU.reg");
    typeName("Blocked");
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(text("lblMessage"), "Backup file Blocked could not be created");
}

TEST_F(WineBackup, RestoreExactlyThroughWinesEditorThenUndoIt) {
    ASSERT_EQ(wine("reg add \"" + keyPath + "\" /v Colour /d Blue /f"), 0);
    ASSERT_EQ(wine("reg add \"" + keyPath + "\" /v Shape /d Round /f"), 0);
    load();
    clickNode(QString::fromStdString(keyPath));
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    const QString name = txtFilename()->text();
    const auto state = [&] {
        std::string out;
        wine("reg query \"" + keyPath + "\"", &out);
        std::string values;
        for (const char* value : {"Colour", "Shape", "Added"})
            values += out.find(value) != std::string::npos ? value : "-";
        return values + colour();
    };
    const std::string backedUp = state();
    wine("reg add \"" + keyPath + "\" /v Colour /d Red /f");
    wine("reg add \"" + keyPath + "\" /v Added /d New /f");
    wine("reg delete \"" + keyPath + "\" /v Shape /f");
    const std::string changed = state();
    clickBackup(name + "_HKCU");
    menu("mnuEdit_6");  // compared through the helper: exactly the three changes
    EXPECT_EQ(comparedCounts(), "1 value changed, 1 only in the backup, 1 only in the registry; 0 keys only in the backup, "
                              "0 only in the registry");
    EXPECT_EQ(restoreExactlyThenUndo(state), (std::vector<std::string>{backedUp, changed}));
    EXPECT_EQ(boxes.shown.size(), 2u);  // the two questions, no failure
}

TEST(WinePrefixChoice, APrefixWineIsStillSettingUpIsWaitedForAFolderThatIsNoneIsRefusedUntouched) {
    if (const std::string why = test::winePrefixMissing(); !why.empty())
        GTEST_SKIP() << why;
    test::TempDir dir;
    const std::string fresh = (dir / "fresh").string();
    // wineboot returns before the new prefix's registry files are written.
    ASSERT_EQ(std::system(("WINEPREFIX='" + fresh + "' WINEDEBUG=-all wineboot -i >/dev/null 2>&1").c_str()), 0);
    for (const auto& [folder, problem] : {std::pair{fresh, ""}, {(dir / "plain").string(), "not a Wine prefix"}}) {
        std::filesystem::create_directories(folder);
        test::ScopedEnv choice("KARVO_REGISTRY", "wine:" + folder);
        const std::string said = reg::registryProblem();
        EXPECT_TRUE(*problem ? said.find(problem) != std::string::npos : said.empty()) << folder << ": " << said;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "plain"));
}

}  // namespace
