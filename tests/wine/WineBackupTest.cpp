// A Wine user's backup, end to end: the window on a throw-away Wine prefix backs a key up through
// Wine's own regedit, the key is changed in Wine, the backup is restored, and Wine's own reg shows
// the key as it was.
#include "../app/WindowFixture.h"

#include "registry/RegistryPipe.h"
#include "tree/RegistryTree.h"

#include <QAction>

#include <array>
#include <cstdio>
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

// Runs `wine ARGS` on the prefix; its standard output, and its status in *status.
std::string wine(const std::string& prefix, const std::string& args, int* status = nullptr) {
    const std::string command = "WINEPREFIX=" + shellQuoted(prefix) + " WINEDEBUG=-all wine " + args + " 2>/dev/null";
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return out;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), p)) > 0)
        out.append(buffer.data(), n);
    const int rc = ::pclose(p);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string helperPath() { return (test::binaryDir() / "windows" / "reghelper.exe").string(); }

// Wine and the Windows build of the helper, or why the test cannot run.
std::string missing() {
    if (std::system("command -v wine >/dev/null 2>&1") != 0)
        return "wine is not installed (scripts/test.sh --windows installs it)";
    if (!std::filesystem::is_regular_file(helperPath()))
        return helperPath() + " is not built (scripts/test.sh --windows builds it)";
    return {};
}

// The prefix of the whole run when the test script made one, else one of the test's own.
class ThrowAwayPrefix {
public:
    ThrowAwayPrefix() {
        if (const char* shared = std::getenv("KARVO_TEST_WINEPREFIX"); shared && *shared) {
            path = shared;
            return;
        }
        own_ = std::make_unique<test::TempDir>();
        path = own_->str();
        wine(path, "wineboot -i");
        std::system(("WINEPREFIX=" + shellQuoted(path) + " wineserver -w").c_str());
    }
    ~ThrowAwayPrefix() {
        if (own_)
            std::system(("WINEPREFIX=" + shellQuoted(path) + " wineserver -k 2>/dev/null").c_str());
    }
    std::string path;

private:
    std::unique_ptr<test::TempDir> own_;
};

class WineBackup : public test::WindowTest {
protected:
    void SetUp() override {
        if (const std::string why = missing(); !why.empty())
            GTEST_SKIP() << why;
        prefix = std::make_unique<ThrowAwayPrefix>();
        ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(prefix->path) / "system.reg"));
        wineEnv = std::make_unique<test::ScopedEnv>("KARVO_REGISTRY", "wine:" + prefix->path);
        helperEnv = std::make_unique<test::ScopedEnv>("KARVO_WINE_HELPER", helperPath());
        store = reg::openWineRegistry(prefix->path);
    }
    void TearDown() override {
        if (prefix)
            wine(prefix->path, "reg delete " + shellQuoted(keyPath) + " /f");
    }

    // A key of this run only, so runs may share a prefix.
    const std::string keyName = "Karvo Wine Test " + std::to_string(::getpid());
    const std::string keyPath = "HKEY_CURRENT_USER\\Software\\" + keyName;
    std::unique_ptr<ThrowAwayPrefix> prefix;
    std::unique_ptr<test::ScopedEnv> wineEnv, helperEnv;
};

TEST_F(WineBackup, BackUpChangeInWineRestoreAndWineSeesTheKeyAsItWas) {
    const std::string key = shellQuoted(keyPath);
    int status = -1;
    wine(prefix->path, "reg add " + shellQuoted(keyPath + "\\Alpha") + " /f", &status);
    ASSERT_EQ(status, 0);
    wine(prefix->path, "reg add " + key + " /v Colour /d Blue /f", &status);
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

    wine(prefix->path, "reg add " + key + " /v Colour /d Red /f", &status);
    wine(prefix->path, "reg delete " + shellQuoted(keyPath + "\\Alpha") + " /f", &status);
    ASSERT_NE(wine(prefix->path, "reg query " + key + " /v Colour").find("Red"), std::string::npos);

    clickBackup(name + "_HKCU");
    press("cmdRestore");
    ASSERT_TRUE(editorsFinished());
    EXPECT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
    EXPECT_NE(wine(prefix->path, "reg query " + key + " /v Colour").find("Blue"), std::string::npos);
    wine(prefix->path, "reg query " + shellQuoted(keyPath + "\\Alpha"), &status);
    EXPECT_EQ(status, 0);
    // The tree read the restored key through the helper.
    ASSERT_EQ(item->childCount(), 1);
    EXPECT_EQ(item->child(0)->text(0), "Alpha");
}

TEST_F(WineBackup, AnExportWineFailsToWriteIsReportedAsAFailure) {
    load();
    QTreeWidgetItem* item = node("HKEY_CURRENT_USER");
    ASSERT_TRUE(item);
    clickNode(item);
    // Wine's regedit ends with status 0 even when it cannot write the file.
    std::filesystem::create_directory(folder / "HKEY_CURRENT_USER_HKCU.reg");
    typeName("HKEY_CURRENT_USER");
    press("cmdBackup");
    ASSERT_TRUE(editorsFinished());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(lblMessage()->text(), "Backup file HKEY_CURRENT_USER could not be created");
}

}  // namespace
