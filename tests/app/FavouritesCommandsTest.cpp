// Adding, removing and choosing favourite keys in the main window, and the two arrows.
#include "WindowFixture.h"

#include "app/Pictures.h"

using namespace karvo::test;

namespace {

const QString kDesktop = "HKEY_CURRENT_USER\\Control Panel\\Desktop";

class FavouritesCommands : public WindowTest {
protected:
    void SetUp() override {
        reg.touch("HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics");
        reg.touch("HKEY_CURRENT_USER\\Software");
    }
    void choose(int index) const {
        Combo1()->setCurrentIndex(index);
        emit Combo1()->activated(index);
    }
    void clickPicture(const char* name) const { QTest::mouseClick(control(name), Qt::LeftButton); }
};

TEST_F(FavouritesCommands, AddingKeepsOneEntryPerKeyAndSavesTheFile) {
    load();
    press("cmdAdd");  // no key clicked yet: nothing at all
    clickNode("HKEY_CURRENT_USER");
    press("cmdAdd");  // a bare root is no favourite
    EXPECT_EQ(favourites(), QStringList{"Favorite Keys"});
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\n");

    clickNode(kDesktop);
    press("cmdAdd");
    press("cmdAdd");
    EXPECT_EQ(favourites(), (QStringList{"Favorite Keys", kDesktop}));
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n");

    // Typed text becomes a favourite of its own, after the key path.
    clickNode("HKEY_CURRENT_USER\\Software");
    Combo1()->setEditText("my note");
    press("cmdAdd");
    EXPECT_EQ(favourites(), (QStringList{"Favorite Keys", kDesktop, "HKEY_CURRENT_USER\\Software", "my note"}));
}

TEST_F(FavouritesCommands, RemovingTakesOnlyTheChosenEntry) {
    writeFile(folder / "Favs.tlv", "Favorite Keys\r\nHKEY_CURRENT_USER\\Software\r\nB\r\n");
    load();
    press("cmdRemove");  // the heading is never removed
    Combo1()->setEditText("typed, not chosen");
    press("cmdRemove");
    EXPECT_EQ(favourites().size(), 3);

    choose(2);
    press("cmdRemove");
    EXPECT_EQ(favourites(), (QStringList{"Favorite Keys", "HKEY_CURRENT_USER\\Software"}));
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\nHKEY_CURRENT_USER\\Software\r\n");
}

TEST_F(FavouritesCommands, ChoosingAFavouriteOpensTheTreeAndMarksTheKey) {
    writeFile(folder / "Favs.tlv", "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n"
                                   "HKEY_CURRENT_USER\\control panel\r\nHKEY_CURRENT_USER\\Control Panel\\Gone\r\n");
    load();
    // Typing a favourite's path and pressing Return is no choice: nothing opens.
    Combo1()->setEditText(kDesktop);
    QTest::keyClick(Combo1()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(text("txtIndex"), "Select a Key to Backup, Restore or Add to Favorites");

    const QStringList desktopFields{kDesktop, "Desktop", "_HKCU", "Desktop_HKCU.reg"};
    choose(1);
    QTreeWidgetItem* desktop = tree()->currentItem();
    ASSERT_TRUE(desktop);
    EXPECT_EQ(RegistryTree::fullPath(desktop), kDesktop);
    EXPECT_TRUE(RegistryTree::isMarked(desktop));
    EXPECT_TRUE(desktop->isSelected() && desktop->isExpanded() && desktop->parent()->isExpanded());
    EXPECT_EQ(fields(), desktopFields);

    // A spelling that differs in letter case, or a missing key, stops short and marks nothing new.
    for (int index : {2, 3}) {
        choose(index);
        EXPECT_EQ(fields(), desktopFields);
        EXPECT_FALSE(RegistryTree::isMarked(tree()->currentItem()));
    }
    EXPECT_EQ(RegistryTree::fullPath(tree()->currentItem()), "HKEY_CURRENT_USER\\Control Panel");

    // The heading only tidies the name box.
    txtFilename()->setText("two words");
    choose(0);
    EXPECT_EQ(fields(), QStringList({kDesktop, "two_words", "_HKCU", "two_words_HKCU.reg"}));
}

TEST_F(FavouritesCommands, TheArrowsCopyAndFollowTheMarkedKey) {
    load();
    EXPECT_FALSE(control<karvo::app::ClickablePicture>("Image1")->pixmap().isNull());
    clickPicture("Image2");  // nothing clicked yet
    EXPECT_EQ(Combo1()->currentText(), "Favorite Keys");

    clickNode("HKEY_CURRENT_USER\\Software");
    clickPicture("Image2");
    EXPECT_EQ(Combo1()->currentText(), "HKEY_CURRENT_USER\\Software");
    EXPECT_EQ(Combo1()->count(), 1);
    EXPECT_EQ(readFile(folder / "Favs.tlv"), "Favorite Keys\r\n");

    Combo1()->setEditText("HKEY_CURRENT_USER\\Control Panel");
    clickPicture("Image1");
    EXPECT_EQ(text("txtIndex"), "HKEY_CURRENT_USER\\Control Panel");
    EXPECT_TRUE(RegistryTree::isMarked(tree()->currentItem()));
    EXPECT_EQ(text("txtFilename"), "Control_Panel");
}

}  // namespace
