// A Wine user's backup, end to end: the window on a throw-away Wine prefix backs a key up through
// Wine's own regedit, the key is changed in Wine, the backup is restored, and Wine's own reg shows
// the key as it was.
#include "../app/WindowFixture.h"

#include "WinePrefix.h"
#include "registry/RegistryPipe.h"
#include "tree/RegistryTree.h"

#include <QAction>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace karvo;

namespace {

std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs `wine ARGS` on the prefix; its standard output, and its status in *status. The output goes
// through a file: Wine's own service processes inherit it and outlive the command.
std::string wine(const std::string& prefix, const std::string& args, int* status = nullptr) {
    test::TempDir dir;
    const std::string out = (dir / "out").string();
    const int rc = std::system(("WINEPREFIX=" + shellQuoted(prefix) + " WINEDEBUG=-all wine " + args + " >" +
                                shellQuoted(out) + " 2>/dev/null </dev/null")
                                   .c_str());
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return test::readFile(out);
}

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
            wine(prefix, "reg delete " + shellQuoted(keyPath) + " /f");
    }

    // A key of this run only, so runs may share a prefix.
    const std::string keyName = "Karvo Wine Test " + std::to_string(::getpid());
    const std::string keyPath = "HKEY_CURRENT_USER\\Software\\" + keyName;
    const std::string prefix = test::testWinePrefix();
    std::unique_ptr<test::ScopedEnv> wineEnv;
};

TEST_F(WineBackup, BackUpChangeInWineRestoreAndWineSeesTheKeyAsItWas) {
    const std::string key = shellQuoted(keyPath);
    int status = -1;
    wine(prefix, "reg add " + shellQuoted(keyPath + "\\Alpha") + " /f", &status);
    ASSERT_EQ(status, 0);
    wine(prefix, "reg add " + key + " /v Colour /d Blue /f", &status);
    ASSERT_EQ(status, 0);
    load();

    QTreeWidgetItem* item = node(QString::fromStdString(keyPath));
    ASSERT_TRUE(item);
    clickNode(item);
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    const QString name = txtFilename()->text();
    EXPECT_EQ(lblMessage()->text(), name + " backup has been created");
    EXPECT_GT(std::filesystem::file_size(folder / (name + "_HKCU.reg").toStdString()), 0u);

    wine(prefix, "reg add " + key + " /v Colour /d Red /f", &status);
    wine(prefix, "reg delete " + shellQuoted(keyPath + "\\Alpha") + " /f", &status);
    ASSERT_NE(wine(prefix, "reg query " + key + " /v Colour").find("Red"), std::string::npos);

    clickBackup(name + "_HKCU");
    press("cmdRestore");
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    EXPECT_NE(wine(prefix, "reg query " + key + " /v Colour").find("Blue"), std::string::npos);
    wine(prefix, "reg query " + shellQuoted(keyPath + "\\Alpha"), &status);
    EXPECT_EQ(status, 0);
    // The tree read the restored key through the helper.
    ASSERT_EQ(item->childCount(), 1);
    EXPECT_EQ(item->child(0)->text(0), "Alpha");
}

}  // namespace
