// The registry behind a helper process that cannot start or goes away, and where $KARVO_REGISTRY
// points. The calls themselves are checked by the suites for every back end, run through the helper.
#ifndef _WIN32

#include "registry_area.h"

#include <filesystem>

namespace karvo::test {
namespace {

TEST(HelperRegistry, AHelperThatCannotServeFailsEveryCallAndSaysSoOnce) {
    TempDir dir;
    std::vector<std::string> said;
    setRegistryFailureHandler([&](const std::string& m) { said.push_back(m); });
    const std::string marker = (dir / "started").string();
    const auto answers = [&](const std::string& reply, const char* then = "") {  // answers the hello with reply
        return std::vector<std::string>{"/bin/sh", "-c", ": > \"$0\"; head -c 5 >/dev/null; printf '" + reply + "'" + then, marker};
    };
    const std::string hello = "\\10\\0\\0\\0\\0\\0\\0\\0\\1\\0\\0\\0";  // length, result and version 1
    const char* reads = "; cat >/dev/null";  // and stays
    const std::pair<std::vector<std::string>, std::string> cases[] = {  // what is asked for, and why it fails
        {{"/nonexistent/reghelper"}, "its helper program /nonexistent/reghelper could not be started"},
        {answers(hello), "the folder does not exist."},  // known beforehand: nothing starts
        {answers(hello), "its helper program stopped."},  // after the hello
        {answers("\\10\\0\\0\\0\\0\\0\\0\\0\\77\\0\\0\\0", reads), "its helper program is of another version"},
        {answers(hello + "\\1\\0\\0\\0x", reads), "its helper program answered something it should not have"},
    };
    for (const auto& [argv, why] : cases) {
        said.clear();
        std::filesystem::remove(marker);
        const bool known = why == "the folder does not exist.";
        auto reg = openHelperRegistry({argv, {}, "the test store", known ? "the folder does not exist" : ""});
        HKey h = 0;
        char name[256];
        std::string path;
        EXPECT_EQ(reg->RegOpenKeyExA(kHkeyCurrentUser, "Software", 0, kKeyRead, &h), kErrorCantOpen);
        EXPECT_EQ(h, 0u);
        EXPECT_EQ(reg->RegEnumKeyA(kHkeyCurrentUser, 0, name, sizeof name), kErrorCantOpen);
        EXPECT_FALSE(reg->KeyPath(kHkeyCurrentUser, path));
        ASSERT_EQ(said.size(), 1u) << why;
        EXPECT_EQ(said[0].rfind("The registry of the test store cannot be reached: " + why, 0), 0u) << said[0];
        EXPECT_EQ(std::filesystem::exists(marker), argv.size() > 1 && !known) << why;
    }
    setRegistryFailureHandler(nullptr);
}

// The helper's side: a request it cannot read ends the session unanswered, with status 1; the end
// of its input is the ordinary end.
TEST(HelperRegistry, TheServerStopsAtARequestItCannotRead) {
    TempDir dir;
    const auto store = openStore((dir / "r.db").string());
    const auto serve = [&](const std::string& bytes) {  // the status and the length of the answers
        std::FILE* in = std::tmpfile();
        std::FILE* out = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), in);
        std::rewind(in);
        const int status = serveRegistry(*store, in, out);
        const auto result = std::make_pair(status, std::ftell(out));
        std::fclose(in), std::fclose(out);
        return result;
    };
    const std::string one("\1\0\0\0", 4);  // a message of one byte: the operation alone
    EXPECT_EQ(serve(""), std::make_pair(0, 0L));
    EXPECT_EQ(serve(one + '\1'), std::make_pair(0, 12L));  // hello: length, result and version
    for (char op = 2; op < 25; ++op) {  // every other operation needs arguments, but the batch calls
        const bool batch = op >= 18 && op <= 20;
        EXPECT_EQ(serve(one + op), std::make_pair(batch ? 0 : 1, batch ? 8L : 0L)) << int(op);
    }
    for (const std::string& broken : {std::string("\0\0\0\0", 4), std::string("\1\0", 2), one, one + '\0'})
        EXPECT_EQ(serve(broken), std::make_pair(1, 0L));
}

TEST(RegistryChoice, StoresAndWinePrefixesAreFoundCheckedAndNeverCreated) {
    TempDir dir;
    const std::string d = dir.str();
    for (const char* folder : {"bin", "notaprefix", "prefix"}) std::filesystem::create_directories(dir / folder);
    writeFile(dir / "prefix" / "system.reg", "WINE REGISTRY Version 2\n");
    writeFile(dir / "bin" / "wine", "#!/bin/sh\n");
    std::filesystem::permissions(dir / "bin" / "wine", std::filesystem::perms::owner_all);
    ScopedEnv home("HOME", d + "/home"), helper("KARVO_WINE_HELPER", d + "/prefix/system.reg");  // any file will do
    struct Case {
        std::string registry, winePrefix, dataHome, path;
        std::string location, problem;  // the store file or the prefix; part of the message, "" for none
    };
    const Case cases[] = {
        {d + "/a/b/store.db", "", "", d + "/bin", d + "/a/b/store.db", ""},
        {"", "", d + "/data", d + "/bin", d + "/data/karvo/registry.db", ""},
        {"", "", "relative", d + "/bin", d + "/home/.local/share/karvo/registry.db", ""},  // relative: ignored
        {"wine:" + d + "/prefix/", "", "", d + "/bin", d + "/prefix", ""},
        {"wine", d + "/prefix", "", d + "/bin", d + "/prefix", ""},
        {"wine", "", "", d + "/bin", d + "/home/.wine", "the folder does not exist"},
        {"wine:" + d + "/missing", "", "", d + "/bin", d + "/missing", "the folder does not exist"},
        {"wine:" + d + "/notaprefix", "", "", d + "/bin", d + "/notaprefix", "is not a Wine prefix"},
        {"wine:" + d + "/prefix", "", "", d + "/nowhere", d + "/prefix", "Wine is not installed"},
    };
    for (const Case& c : cases) {
        ScopedEnv registry("KARVO_REGISTRY", c.registry), prefix("WINEPREFIX", c.winePrefix),
            data("XDG_DATA_HOME", c.dataHome), path("PATH", c.path);
        const RegistryChoice choice = registryChoice();
        EXPECT_EQ(choice.wine, c.registry.rfind("wine", 0) == 0) << c.registry;
        EXPECT_EQ(choice.wine ? choice.location : defaultStorePath(), c.location) << c.registry;
        const std::string problem = registryProblem();
        EXPECT_EQ(problem.empty(), c.problem.empty()) << c.registry << ": " << problem;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.registry << ": " << problem;
        HKey h = 0;  // a prefix that cannot be used starts nothing and fails every call
        if (choice.wine && !problem.empty()) {
            EXPECT_EQ(openWineRegistry(choice.location)->RegOpenKeyExA(kHkeyUsers, "", 0, kKeyRead, &h), kErrorCantOpen);
        }
    }
    // A store's folder is made; a prefix never is.
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b") && std::filesystem::is_directory(dir / "data/karvo"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing") || std::filesystem::exists(dir / "home/.wine"));
}

}  // namespace
}  // namespace karvo::test

#endif  // !_WIN32
