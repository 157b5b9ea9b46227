// File-type registration through cRegistry, against a private store.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cregistry_probe.h"

namespace {

using namespace karvo::test;

const std::string kClasses = "SOFTWARE\\Classes\\";

class CRegistryAssociations : public ::testing::Test, protected RegistryFixtureState {
protected:
    void TearDown() override { EXPECT_TRUE(probe.open.empty()) << "a key was left open"; }

    // The default value of a class entry; it must read the same under both class roots.
    std::string entry(const std::string& path) {
        const std::string fromRoot = text(kHkeyClassesRoot, path, "");
        EXPECT_EQ(text(kHkeyLocalMachine, kClasses + path, ""), fromRoot) << path;
        return fromRoot;
    }
    bool present(const std::string& path) {
        const bool fromRoot = keyExists(kHkeyClassesRoot, path);
        EXPECT_EQ(keyExists(kHkeyLocalMachine, kClasses + path), fromRoot) << path;
        return fromRoot;
    }
    void registerDoc(const std::string& exe, bool print, bool isNew, bool install, std::int32_t icon,
                     const std::string& openText = "", const std::string& printText = "",
                     const std::string& newText = "", const std::string& installText = "") {
        reg.CreateEXEAssociation(exe, "Karvo.Doc", "Karvo document", "kvd", openText, print, printText, isNew,
                                 newText, install, installText, icon);
    }
};

template <class F>
RegistryError caught(F&& f) {
    try {
        f();
    } catch (const RegistryError& e) {
        return e;
    }
    ADD_FAILURE() << "no RegistryError";
    return RegistryError(0, "", "");
}

TEST_F(CRegistryAssociations, FullRegistrationWritesEveryEntryUnderBothRoots) {
    registerDoc("  C:\\A\\B.EXE ", true, true, true, 0);

    EXPECT_EQ(entry(".kvd"), "Karvo.Doc");
    EXPECT_EQ(entry("Karvo.Doc"), "Karvo document");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\open"), "&Open");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\open\\command"), "\"C:\\A\\B.EXE\" \"%1\"");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\print"), "&Print");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\print\\command"), "\"C:\\A\\B.EXE\" /p \"%1\"");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\add"), "&Install kvd");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\add\\command"), "\"C:\\A\\B.EXE\" /a \"%1\"");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\new"), "&New");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\new\\command"), "\"C:\\A\\B.EXE\" /n \"%1\"");
    EXPECT_EQ(entry("Karvo.Doc\\DefaultIcon"), "\"C:\\A\\B.EXE\",0");

    // The object is left at the last entry written, in its class-root form.
    EXPECT_EQ(reg.ClassKey(), cRegistry::kLocalMachine);
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc\\DefaultIcon");
    EXPECT_EQ(reg.ValueKey(), "");
    EXPECT_EQ(reg.ValueType(), 1);
}

TEST_F(CRegistryAssociations, OptionalPartsAndGivenTextsAreRespected) {
    registerDoc("\"C:\\Program Files\\K.exe\"", false, false, false, -1, "Open with Karvo");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\open"), "Open with Karvo");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\open\\command"), "\"C:\\Program Files\\K.exe\" \"%1\"");
    EXPECT_FALSE(present("Karvo.Doc\\shell\\print"));
    EXPECT_FALSE(present("Karvo.Doc\\shell\\add"));
    EXPECT_FALSE(present("Karvo.Doc\\shell\\new"));
    EXPECT_FALSE(present("Karvo.Doc\\DefaultIcon"));
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc\\shell\\open\\command");

    registerDoc("x.exe", true, true, true, 3, "", "Print it", "Make one", "Set up");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\print"), "Print it");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\new"), "Make one");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\add"), "Set up");
    EXPECT_EQ(entry("Karvo.Doc\\DefaultIcon"), "\"x.exe\",3");
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc\\DefaultIcon");

    registerDoc("   ", false, false, false, 1);
    EXPECT_EQ(entry("Karvo.Doc\\DefaultIcon"), "\",1");
}

TEST_F(CRegistryAssociations, AWriteFailureStopsTheRegistrationAndKeepsWhatWasWritten) {
    probe.refuseCreate = [](HKey root, const std::string& path) {
        return root == kHkeyLocalMachine && path.find("Karvo.Doc") != std::string::npos;
    };
    const RegistryError e = caught([&] { registerDoc("k.exe", true, true, true, 0); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(),
              "Failed to set registry value Key: '-2147483646',Section: 'SOFTWARE\\Classes\\Karvo.Doc',Key: '' to "
              "value: 'Karvo document'");
    EXPECT_EQ(text(kHkeyClassesRoot, ".kvd", ""), "Karvo.Doc");
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc");
    EXPECT_FALSE(keyExists(kHkeyClassesRoot, "Karvo.Doc\\shell"));
}

TEST_F(CRegistryAssociations, AdditionalVerbsFollowARegistration) {
    registerDoc("k.exe", false, false, false, -1);
    ASSERT_EQ(reg.ClassKey(), cRegistry::kLocalMachine);
    reg.CreateAdditionalEXEAssociations("Karvo.Doc", {std::string("edit"), std::string("&Edit"),
                                                      std::string("k.exe /e \"%1\""), std::string("view"),
                                                      std::string("&View"), std::string("k.exe /v %1 %2")});
    EXPECT_EQ(entry("Karvo.Doc\\shell\\edit"), "&Edit");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\edit\\command"), "k.exe /e \"%1\"");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\view"), "&View");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\view\\command"), "k.exe /v %1 %2");
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc\\shell\\view\\command") << "the later verb went in last";
    EXPECT_EQ(reg.ClassKey(), cRegistry::kLocalMachine);

    // A caller that points at the class root itself first is served the same way.
    reg.setClassKey(cRegistry::kClassesRoot);
    reg.CreateAdditionalEXEAssociations("Karvo.Doc", {std::int32_t{7}, std::string("Seven"), std::string("k.exe 7")});
    EXPECT_EQ(entry("Karvo.Doc\\shell\\7"), "Seven");

    // Nothing to add is no error once the class exists.
    reg.setClassKey(cRegistry::kCurrentUser);
    reg.CreateAdditionalEXEAssociations("Karvo.Doc", {});
    EXPECT_EQ(reg.ClassKey(), cRegistry::kCurrentUser);
}

TEST_F(CRegistryAssociations, AdditionalVerbsRefuseBadListsAndUnknownClasses) {
    registerDoc("k.exe", false, false, false, -1);
    RegistryError e = caught([&] {
        reg.CreateAdditionalEXEAssociations("Karvo.Doc", {std::string("a"), std::string("b"), std::string("c"),
                                                          std::string("d")});
    });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469ACu));
    EXPECT_EQ(e.source(), cRegistry::ErrorSource());
    EXPECT_EQ(e.description(),
              "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
    EXPECT_FALSE(present("Karvo.Doc\\shell\\a"));

    e = caught([&] {
        reg.CreateAdditionalEXEAssociations("Other.Doc", {std::string("a"), std::string("b"), std::string("c")});
    });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469ADu));
    EXPECT_EQ(e.description(), "Error - attempt to create additional associations before class defined.");
    EXPECT_FALSE(present("Other.Doc"));

    e = caught([&] { reg.CreateAdditionalEXEAssociations("Other.Doc", {}); });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469ADu));
}

TEST_F(CRegistryAssociations, AnAdditionalVerbThatCannotBeWrittenIsSkipped) {
    registerDoc("k.exe", false, false, false, -1);
    probe.refuseCreate = [](HKey, const std::string& path) { return path.find("\\bad") != std::string::npos; };
    reg.CreateAdditionalEXEAssociations("Karvo.Doc", {std::string("bad"), std::string("Bad"), std::string("b.exe"),
                                                      std::string("good"), std::string("Good"), std::string("g.exe")});
    EXPECT_FALSE(present("Karvo.Doc\\shell\\bad"));
    EXPECT_EQ(entry("Karvo.Doc\\shell\\good\\command"), "g.exe");
}

}  // namespace
