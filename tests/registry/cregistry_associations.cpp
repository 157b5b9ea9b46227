// File-type registration through cRegistry.
#include "cregistry_probe.h"

namespace {

using namespace karvo::test;

class CRegistryAssociations : public RegistryTest {
protected:
    // A class entry's text, which must read the same under both class roots.
    std::string entry(const std::string& path) {
        const std::string fromRoot = text(kHkeyClassesRoot, path);
        EXPECT_EQ(text(kHkeyLocalMachine, "SOFTWARE\\Classes\\" + path), fromRoot) << path;
        return fromRoot;
    }
    void registerDoc(const std::string& exe, bool options, std::int32_t icon, const std::string& menuText = "") {
        reg.CreateEXEAssociation(exe, "Karvo.Doc", "Karvo document", "kvd", menuText, options, menuText, options,
                                 menuText, options, menuText, icon);
    }
    static std::vector<Variant> items(std::initializer_list<const char*> texts) {
        return {texts.begin(), texts.end()};
    }
};

TEST_F(CRegistryAssociations, ARegistrationWritesEveryEntryUnderBothRoots) {
    registerDoc("  C:\\A\\B.EXE ", true, 0);
    EXPECT_EQ(entry(".kvd"), "Karvo.Doc");
    EXPECT_EQ(entry("Karvo.Doc"), "Karvo document");
    const std::pair<const char*, const char*> verbs[] = {
        {"open", "&Open"}, {"print", "&Print"}, {"add", "&Install kvd"}, {"new", "&New"}};
    for (const auto& [verb, menu] : verbs) {
        const std::string key = std::string("Karvo.Doc\\shell\\") + verb;
        EXPECT_EQ(entry(key), menu);
        const std::string option = verb == std::string("open") ? "" : std::string("/") + verb[0] + " ";
        EXPECT_EQ(entry(key + "\\command"), "\"C:\\A\\B.EXE\" " + option + "\"%1\"");
    }
    EXPECT_EQ(entry("Karvo.Doc\\DefaultIcon"), "\"C:\\A\\B.EXE\",0");

    EXPECT_EQ(reg.ClassKey(), cRegistry::kLocalMachine);
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc\\DefaultIcon");
    EXPECT_EQ(reg.ValueKey(), "");
    EXPECT_EQ(reg.ValueType(), 1);
}

TEST_F(CRegistryAssociations, OptionsTextsAndPathsAreTakenAsGiven) {
    registerDoc("\"C:\\Program Files\\K.exe\"", false, -1, "Open with Karvo");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\open"), "Open with Karvo");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\open\\command"), "\"C:\\Program Files\\K.exe\" \"%1\"");
    for (const char* absent : {"Karvo.Doc\\shell\\print", "Karvo.Doc\\shell\\add", "Karvo.Doc\\shell\\new",
                               "Karvo.Doc\\DefaultIcon"}) {
        EXPECT_FALSE(keyExists(kHkeyClassesRoot, absent)) << absent;
    }
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc\\shell\\open\\command");

    registerDoc("   ", true, 3, "Mine");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\add"), "Mine");
    EXPECT_EQ(entry("Karvo.Doc\\DefaultIcon"), "\",3");
}

TEST_F(CRegistryAssociations, AFailingWriteStopsTheRegistrationAndKeepsWhatWasWritten) {
    probe.refuseCreate = [](HKey root, const std::string& path) {
        return root == kHkeyLocalMachine && path.find("Karvo.Doc") != std::string::npos;
    };
    const RegistryError e = raised([&] { registerDoc("k.exe", true, 0); });
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), "Failed to set registry value Key: '-2147483646',Section: "
                               "'SOFTWARE\\Classes\\Karvo.Doc',Key: '' to value: 'Karvo document'");
    EXPECT_EQ(text(kHkeyClassesRoot, ".kvd"), "Karvo.Doc");
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc");
    EXPECT_FALSE(keyExists(kHkeyClassesRoot, "Karvo.Doc\\shell"));
}

TEST_F(CRegistryAssociations, AdditionalVerbsFollowARegistration) {
    registerDoc("k.exe", false, -1);
    reg.CreateAdditionalEXEAssociations("Karvo.Doc", items({"edit", "&Edit", "k.exe /e \"%1\"", "view", "&View",
                                                            "k.exe /v %1 %2"}));
    EXPECT_EQ(entry("Karvo.Doc\\shell\\edit"), "&Edit");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\edit\\command"), "k.exe /e \"%1\"");
    EXPECT_EQ(entry("Karvo.Doc\\shell\\view\\command"), "k.exe /v %1 %2");
    EXPECT_EQ(reg.SectionKey(), "Karvo.Doc\\shell\\view\\command") << "verbs go in in the order given";

    reg.setClassKey(cRegistry::kClassesRoot);
    reg.CreateAdditionalEXEAssociations("Karvo.Doc", {std::int32_t{7}, std::string("Seven"), std::string("k 7")});
    EXPECT_EQ(entry("Karvo.Doc\\shell\\7"), "Seven");
    reg.CreateAdditionalEXEAssociations("Karvo.Doc", {});

    // A verb that cannot be written is skipped without a word; the rest still go in.
    probe.refuseCreate = [](HKey, const std::string& path) { return path.find("\\bad") != std::string::npos; };
    reg.CreateAdditionalEXEAssociations("Karvo.Doc", items({"bad", "Bad", "b.exe", "good", "Good", "g.exe"}));
    EXPECT_FALSE(keyExists(kHkeyClassesRoot, "Karvo.Doc\\shell\\bad"));
    EXPECT_EQ(entry("Karvo.Doc\\shell\\good\\command"), "g.exe");
}

TEST_F(CRegistryAssociations, AdditionalVerbsRefuseBadListsAndUnknownClasses) {
    registerDoc("k.exe", false, -1);
    RegistryError e = raised([&] { reg.CreateAdditionalEXEAssociations("Karvo.Doc", items({"a", "b", "c", "d"})); });
    EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469ACu));
    EXPECT_EQ(e.source(), cRegistry::ErrorSource());
    EXPECT_EQ(e.description(),
              "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
    EXPECT_FALSE(keyExists(kHkeyClassesRoot, "Karvo.Doc\\shell\\a"));

    for (const auto& list : {items({"a", "b", "c"}), items({})}) {
        e = raised([&] { reg.CreateAdditionalEXEAssociations("Other.Doc", list); });
        EXPECT_EQ(e.number(), static_cast<std::int32_t>(0x800469ADu));
        EXPECT_EQ(e.description(), "Error - attempt to create additional associations before class defined.");
    }
    EXPECT_FALSE(keyExists(kHkeyClassesRoot, "Other.Doc"));
}

}  // namespace
