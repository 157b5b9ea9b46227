#include "WindowFixture.h"

#include "app/Pictures.h"
#include "tree/RegistryTree.h"

using namespace karvo;
using karvo::tree::RegistryTree;

namespace {

class FavouritesCommands : public test::WindowTest {
protected:
    void SetUp() override {
        test::createKey(*store, reg::kHkeyCurrentUser, "Control Panel\\Desktop\\WindowMetrics");
        test::createKey(*store, reg::kHkeyCurrentUser, "Software");
    }
    QStringList entries() const {
        QStringList texts;
        for (int i = 0; i < Combo1()->count(); ++i)
            texts.append(Combo1()->itemText(i));
        return texts;
    }
    void choose(int index) {
        Combo1()->setCurrentIndex(index);
        emit Combo1()->activated(index);
    }
    void clickPicture(const char* name) { QTest::mouseClick(control<QWidget>(name), Qt::LeftButton); }
};

TEST_F(FavouritesCommands, AddingKeepsOneEntryPerKeyAndSavesTheFile) {
    load();
    press("cmdAdd");  // no key clicked yet: nothing at all
    EXPECT_EQ(entries(), QStringList{"Favorite Keys"});
    clickNode(node("HKEY_CURRENT_USER"));
    press("cmdAdd");  // a bare root is no favourite
    EXPECT_EQ(entries(), QStringList{"Favorite Keys"});
    EXPECT_EQ(test::readFile(folder / "Favs.tlv"), "Favorite Keys\r\n");

    clickNode(node("HKEY_CURRENT_USER\\Control Panel\\Desktop"));
    press("cmdAdd");
    press("cmdAdd");
    EXPECT_EQ(entries(), (QStringList{"Favorite Keys", "HKEY_CURRENT_USER\\Control Panel\\Desktop"}));
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");
    EXPECT_EQ(test::readFile(folder / "Favs.tlv"),
              "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n");

    // Typed text becomes a favourite of its own, after the key path.
    clickNode(node("HKEY_CURRENT_USER\\Software"));
    Combo1()->setEditText("my note");
    press("cmdAdd");
    EXPECT_EQ(entries(), (QStringList{"Favorite Keys", "HKEY_CURRENT_USER\\Control Panel\\Desktop",
                                      "HKEY_CURRENT_USER\\Software", "my note"}));
}

TEST_F(FavouritesCommands, RemovingTakesOnlyTheChosenEntry) {
    test::writeFile(folder / "Favs.tlv", "Favorite Keys\r\nHKEY_CURRENT_USER\\Software\r\nB\r\n");
    load();
    press("cmdRemove");  // the heading is never removed
    EXPECT_EQ(entries().size(), 3);

    Combo1()->setEditText("typed, not chosen");
    press("cmdRemove");
    EXPECT_EQ(entries().size(), 3);

    choose(2);
    press("cmdRemove");
    EXPECT_EQ(entries(), (QStringList{"Favorite Keys", "HKEY_CURRENT_USER\\Software"}));
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");
    EXPECT_EQ(test::readFile(folder / "Favs.tlv"), "Favorite Keys\r\nHKEY_CURRENT_USER\\Software\r\n");
}

TEST_F(FavouritesCommands, ChoosingAFavouriteOpensTheTreeAndMarksTheKey) {
    test::writeFile(folder / "Favs.tlv",
                    "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\nHKEY_CURRENT_USER\\control panel\r\n"
                    "HKEY_CURRENT_USER\\Control Panel\\Gone\r\n");
    load();
    // Typing a favourite's path and pressing Return is no choice: nothing opens.
    Combo1()->setEditText("HKEY_CURRENT_USER\\Control Panel\\Desktop");
    QTest::keyClick(Combo1()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(txtIndex()->text(), "Select a Key to Backup, Restore or Add to Favorites");

    choose(1);
    QTreeWidgetItem* desktop = tree()->currentItem();
    ASSERT_TRUE(desktop);
    EXPECT_EQ(RegistryTree::fullPath(desktop), "HKEY_CURRENT_USER\\Control Panel\\Desktop");
    EXPECT_TRUE(RegistryTree::isMarked(desktop));
    EXPECT_TRUE(desktop->isSelected());
    EXPECT_TRUE(desktop->isExpanded());
    EXPECT_TRUE(desktop->parent()->isExpanded());
    EXPECT_EQ(txtIndex()->text(), "HKEY_CURRENT_USER\\Control Panel\\Desktop");
    EXPECT_EQ(txtFilename()->text(), "Desktop");
    EXPECT_EQ(txtRoot()->text(), "_HKCU");
    EXPECT_EQ(Label1()->text(), "Desktop_HKCU.reg");

    // A spelling that differs in letter case, or a missing key, stops short and marks nothing new.
    for (int index : {2, 3}) {
        choose(index);
        EXPECT_EQ(txtIndex()->text(), "HKEY_CURRENT_USER\\Control Panel\\Desktop");
        EXPECT_EQ(txtFilename()->text(), "Desktop");
        EXPECT_FALSE(RegistryTree::isMarked(tree()->currentItem()));
    }
    EXPECT_EQ(RegistryTree::fullPath(tree()->currentItem()), "HKEY_CURRENT_USER\\Control Panel");

    // The heading only tidies the name box.
    txtFilename()->setText("two words");
    choose(0);
    EXPECT_EQ(txtFilename()->text(), "two_words");
    EXPECT_EQ(Label1()->text(), "two_words_HKCU.reg");
}

TEST_F(FavouritesCommands, TheArrowsCopyAndFollowTheMarkedKey) {
    load();
    EXPECT_FALSE(control<karvo::app::ClickablePicture>("Image1")->pixmap().isNull());
    clickPicture("Image2");  // nothing clicked yet
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");

    clickNode(node("HKEY_CURRENT_USER\\Software"));
    clickPicture("Image2");
    EXPECT_EQ(Combo1()->currentText(), "HKEY_CURRENT_USER\\Software");
    EXPECT_EQ(Combo1()->count(), 1);
    EXPECT_EQ(test::readFile(folder / "Favs.tlv"), "Favorite Keys\r\n");

    Combo1()->setEditText("HKEY_CURRENT_USER\\Control Panel");
    clickPicture("Image1");
    EXPECT_EQ(txtIndex()->text(), "HKEY_CURRENT_USER\\Control Panel");
    EXPECT_TRUE(RegistryTree::isMarked(tree()->currentItem()));
    EXPECT_EQ(txtFilename()->text(), "Control_Panel");
}

}  // namespace
