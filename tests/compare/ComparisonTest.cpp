// A backup compared with the live registry: each case imports its backup into a key of its own,
// changes the key as a user might have since, and checks the comparison's rows, the exact restore
// (importing it leaves the key identical to the backup) and the checks after a restore.
#include "compare/Comparison.h"

#include "TestStore.h"
#include "regfile/RegFile.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

using namespace karvo;
using namespace karvo::compare;

namespace {

// On Windows the system's registry (under Wine, the run's throw-away prefix): a key of our own.
const std::string kSub = "Software\\Karvo Tests\\compare-" + std::to_string(::getpid());
const std::string kK = "HKEY_CURRENT_USER\\" + kSub;

std::string replaced(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// The lines of a backup, $K standing for the test key: an 8-bit file when the first line is
// "REGEDIT4", else a Unicode one behind its header.
std::string backupFile(const std::vector<std::string>& lines) {
    const bool eightBit = !lines.empty() && lines[0] == "REGEDIT4";
    std::string text = eightBit ? "" : "Windows Registry Editor Version 5.00\r\n";
    for (const std::string& line : lines)
        text += replaced(line, "$K", kK) + "\r\n";
    return eightBit ? text : "\xFF\xFE" + text::utf8ToUtf16le(text);
}

// Every entry that is not the same, parents first: "changed|backup|registry PATH [NAME|@]", with
// "*" when the backup itself removes it; the test key is "K".
std::vector<std::string> rows(const Comparison& c) {
    static const char* kWords[] = {"same", "changed", "backup", "registry"};
    std::vector<std::string> out;
    std::function<void(std::uint32_t)> walk = [&](std::uint32_t at) {
        const KeyEntry& k = c.keys[at];
        const std::string path = replaced(c.fullPath(at), kK, "K");
        if (k.difference != Difference::Same)
            out.push_back(std::string(kWords[int(k.difference)]) + " " + path + (k.removedByBackup ? "*" : ""));
        for (const ValueEntry& v : k.values)
            if (v.difference != Difference::Same)
                out.push_back(std::string(kWords[int(v.difference)]) + " " + path + " " +
                              (v.name.empty() ? "@" : v.name) + (v.removedByBackup ? "*" : ""));
        for (std::uint32_t child : k.children) {
            EXPECT_EQ(c.keys[child].parent, at);
            walk(child);
        }
    };
    for (std::uint32_t top : c.tops)
        walk(top);
    return out;
}

class Comparisons : public ::testing::Test {
public:
    void SetUp() override { drop(); }
    void TearDown() override {
        drop();
#ifdef _WIN32
        reg().RegDeleteKeyA(reg::kHkeyCurrentUser, "Software\\Karvo Tests");  // only when no other run's key is left
#endif
    }
    reg::RegistryService& reg() { return store.store(); }
    void drop() { reg().DeleteTree(reg::kHkeyCurrentUser, kSub.c_str()); }
    void removeValue(const std::string& path, const std::string& name) {
        const reg::HKey key = store.open(path, true);
        EXPECT_EQ(reg::kErrorSuccess, reg().RegDeleteValueA(key, name.c_str()));
        reg().RegCloseKey(key);
    }
    void removeKey(const std::string& path) {
        EXPECT_EQ(reg::kErrorSuccess, reg().DeleteTree(reg::kHkeyCurrentUser, path.substr(18).c_str()));
    }
    Comparison compared(const std::string& file) { return compareBytesWithRegistry(reg(), file, "backup.reg"); }

    test::TestStore store;
};

struct Case {
    const char* what;
    std::vector<std::string> backup;
    std::function<void(Comparisons&)> since;  // what has changed in the registry since the backup
    std::vector<std::string> rows;
};

TEST_F(Comparisons, FindEveryDifferenceAndTheExactRestoreUndoesIt) {
    const std::string k = kK;
    const Case cases[] = {
        {"same, with a key the file implies", {"[$K]", "\"a\"=\"1\"", "[$K\\x\\y]", "\"b\"=dword:00000002"},
         [](Comparisons&) {}, {}},
        {"changed data and type, and the default value",
         {"[$K]", "\"a\"=\"1\"", "\"t\"=\"1\"", "@=\"d\""},
         [k](Comparisons& t) {
             t.store.setSz(k, "a", "2");
             t.store.set(k, "t", reg::kRegExpandSz, test::wz("1"));
             t.store.setSz(k, "", "e");
         },
         {"changed K a", "changed K t", "changed K @"}},
        {"values only on one side", {"[$K]", "\"a\"=\"1\"", "\"b\"=hex:01,02", "[$K\\d]"},
         [k](Comparisons& t) {
             t.removeValue(k, "b");
             t.store.setSz(k, "new", "x");
             t.store.setSz(k + "\\d", "", "default");
         },
         {"backup K b", "registry K new", "registry K\\d @"}},
        {"sub-trees only on one side, children in order with letter case ignored",
         {"[$K]", "[$K\\b]", "\"v\"=\"1\"", "[$K\\b\\deep]", "[$K\\D]"},
         [k](Comparisons& t) {
             t.removeKey(k + "\\b");
             t.store.setSz(k + "\\a\\more", "q", "1");
             t.store.touch(k + "\\c");
         },
         {"registry K\\a", "registry K\\a\\more", "registry K\\a\\more q", "backup K\\b", "backup K\\b v",
          "backup K\\b\\deep", "registry K\\c"}},
        {"names differing in letter case only", {"[$K\\Sub]", "\"Name\"=\"1\"", "\"Ärger\"=\"2\""},
         [k](Comparisons& t) {
             t.removeKey(k + "\\Sub");
             t.store.setSz(k + "\\SUB", "NAME", "1");
             t.store.setSz(k + "\\SUB", "äRGER", "2");
         },
         {}},
        {"what the file removes, and a key it deletes and makes again",
         {"[$K]", "\"x\"=-", "[-$K\\gone]", "[-$K\\s]", "[$K\\s]", "\"n\"=\"1\"", "[-$K\\p\\q]"},
         [k](Comparisons& t) {
             t.store.setSz(k, "x", "1");
             t.store.setSz(k + "\\gone\\below", "v", "1");
             t.store.setSz(k + "\\s", "old", "1");
             t.store.touch(k + "\\p\\q");
         },
         {"registry K x*", "registry K\\gone*", "registry K\\gone\\below*", "registry K\\gone\\below v*",
          "registry K\\p", "registry K\\p\\q*", "registry K\\s old*"}},
        {"an 8-bit backup: UTF-8, then Windows-1252", {"REGEDIT4", "[$K]", "\"u\"=\"\xC3\xBC\"", "[$K\\w]", "\"\xFC\"=\"\xFC\""},
         [k](Comparisons& t) { t.store.setSz(k + "\\w", "ü", "u"); },
         {"changed K\\w ü"}},
        {"a key with many values, one given twice and one removed", [] {
             std::vector<std::string> lines{"[$K]"};
             for (int i = 0; i < 20; ++i)
                 lines.push_back("\"v" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"");
             lines.insert(lines.end(), {"\"V3\"=\"x\"", "\"v5\"=-"});
             return lines;
         }(),
         [k](Comparisons& t) {
             t.store.setSz(k, "v7", "other");
             t.store.setSz(k, "v20", "new");
             t.removeValue(k, "v9");
         },
         {"changed K v7", "backup K v9", "registry K v20"}},
        {"the top key gone from the registry", {"[$K]", "@=\"d\"", "[$K\\sub]"},
         [k](Comparisons& t) { t.removeKey(k); },
         {"backup K", "backup K @", "backup K\\sub"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        drop();
        const std::string file = backupFile(c.backup);
        ASSERT_TRUE(regfile::importRegBytes(reg(), file, "backup.reg").ok);
        c.since(*this);
        const Comparison before = compared(file);
        ASSERT_TRUE(before.ok) << before.problem;
        EXPECT_EQ(c.rows, rows(before));
        EXPECT_EQ(before.identical(), c.rows.empty());
        EXPECT_EQ(mismatch(before, Expect::Equal).empty(), c.rows.empty()) << mismatch(before, Expect::Equal);
        const Counts& n = before.valueCounts;
        EXPECT_EQ(n.differences() + before.keyCounts.differences(), c.rows.size());

        // A plain restore leaves what was added since; the check after it is content.
        ASSERT_TRUE(regfile::importRegBytes(reg(), file, "backup.reg").ok);
        const Comparison merged = compared(file);
        EXPECT_EQ("", mismatch(merged, Expect::Merged));

        // The exact restore leaves the key as the backup has it.
        std::ostringstream exact;
        ASSERT_TRUE(writeExactRestore(merged, exact));
        const regfile::Result restored = regfile::importRegBytes(reg(), exact.str(), "exact.reg");
        ASSERT_TRUE(restored.ok) << restored.message;
        const Comparison after = compared(file);
        EXPECT_TRUE(after.identical()) << testing::PrintToString(rows(after));
        EXPECT_EQ("", mismatch(after, Expect::Equal));
    }
}

TEST_F(Comparisons, TheExactRestoreFileAndTheChecksNameTheFirstDifference) {
    const std::string file = backupFile({"[$K]", "\"a\"=\"1\"", "[$K\\s]", "\"b\"=dword:00000001", "[-$K\\old]"});
    ASSERT_TRUE(regfile::importRegBytes(reg(), file, "backup.reg").ok);
    store.setSz(kK, "added", "x");
    store.touch(kK + "\\new\\deep");
    store.set(kK + "\\s", "b", reg::kRegDword, std::string("\x02\0\0\0", 4));
    store.touch(kK + "\\old");
    const Comparison c = compared(file);

    // The registry's data is kept for the values that differ, and for no other.
    std::vector<std::string> live;
    for (const KeyEntry& key : c.keys)
        for (const ValueEntry& v : key.values)
            live.push_back(v.name + "=" + std::to_string(c.liveOf(v).type) + ":" + c.liveOf(v).bytes);
    EXPECT_EQ(live, (std::vector<std::string>{"a=0:", "added=1:" + test::wz("x"), "b=4:" + std::string("\x02\0\0\0", 4)}));

    std::ostringstream exact;
    ASSERT_TRUE(writeExactRestore(c, exact));
    EXPECT_EQ(replaced(text::utf16leToUtf8(exact.str().substr(2)), kK, "K"),
              "Windows Registry Editor Version 5.00\r\n\r\n[K]\r\n\"added\"=-\r\n\r\n[-K\\new]\r\n\r\n[-K\\old]\r\n"
              "\r\n[K]\r\n\"a\"=\"1\"\r\n\r\n[K\\s]\r\n\"b\"=dword:00000001\r\n\r\n");

    EXPECT_EQ(replaced(mismatch(c, Expect::Equal), kK, "K"), "K: the value \"added\" is in the registry but not in the backup");
    EXPECT_EQ(replaced(mismatch(c, Expect::Merged), kK, "K"),
              "K\\old: the backup removes the key, but it is still in the registry");
    removeKey(kK + "\\old");
    EXPECT_EQ(replaced(mismatch(compared(file), Expect::Merged), kK, "K"), "K\\s: the value \"b\" differs from the backup");
}

TEST_F(Comparisons, AFileThatCannotBeReadIsNoComparison) {
    for (const std::string& bad : {std::string("not a registry file"), backupFile({"[$K]", "\"a\"=bad"}),
                                   backupFile({"; no key at all"})}) {
        const Comparison c = compared(bad);
        EXPECT_FALSE(c.ok);
        EXPECT_EQ(c.problem.rfind("backup.reg:", 0), 0u) << c.problem;
        EXPECT_EQ(mismatch(c, Expect::Merged), c.problem);
    }
    const Comparison missing = compareWithRegistry(reg(), store.dir / "missing.reg");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.problem.find("missing.reg"), std::string::npos) << missing.problem;
}

}  // namespace

TEST(ComparisonPaths, AKeysFullPathIsItsTopsPathAndTheNamesBelow) {
    Comparison c;
    c.keys.push_back({"HKEY_CURRENT_USER\\Software\\x", Difference::Same, false, false, kNoKey, {1}, {}});
    c.keys.push_back({"y", Difference::Same, false, false, 0, {}, {}});
    EXPECT_EQ(c.fullPath(1), "HKEY_CURRENT_USER\\Software\\x\\y");
}
