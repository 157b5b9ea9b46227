#include "tree/RegistryTree.h"

#include "StoreHelpers.h"
#include "TestSupport.h"
#include "registry/cRegistry.h"

#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace karvo;
using karvo::tree::Image;
using karvo::tree::RegistryTree;

namespace {

class RegistryTreeTest : public ::testing::Test {
protected:
    test::TempDir dir;
    std::unique_ptr<reg::RegistryService> store = reg::openStore((dir / "registry.db").string());
    cRegistry registry{*store};
    QTreeWidget widget;
    RegistryTree tree{&widget, registry};

    void SetUp() override { tree.buildRoots(); }

    QTreeWidgetItem* root(const QString& name) {
        for (int i = 0; i < widget.topLevelItemCount(); ++i)
            if (widget.topLevelItem(i)->text(0) == name)
                return widget.topLevelItem(i);
        return nullptr;
    }
    static QStringList childTexts(QTreeWidgetItem* item) {
        QStringList texts;
        for (int i = 0; i < item->childCount(); ++i)
            texts.append(item->child(i)->text(0));
        return texts;
    }
    // What the view draws an expander for.
    bool showsExpander(QTreeWidgetItem* item) const {
        return widget.model()->hasChildren(widget.indexFromItem(item));
    }
    // Not read yet, nothing below it, yet offered for expansion.
    bool waitingToBeRead(QTreeWidgetItem* item) const {
        return !RegistryTree::isEnumerated(item) && item->childCount() == 0 && showsExpander(item);
    }
    static QTreeWidgetItem* child(QTreeWidgetItem* item, const QString& text) {
        for (int i = 0; i < item->childCount(); ++i)
            if (item->child(i)->text(0) == text)
                return item->child(i);
        return nullptr;
    }
};

TEST_F(RegistryTreeTest, StartsWithTheSixRootsEachWaitingToBeRead) {
    ASSERT_EQ(widget.topLevelItemCount(), 6);
    const QStringList expected{"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                               "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
    for (int i = 0; i < 6; ++i) {
        QTreeWidgetItem* item = widget.topLevelItem(i);
        EXPECT_EQ(item->text(0), expected[i]);
        EXPECT_EQ(RegistryTree::image(item), Image::ClosedFolder);
        EXPECT_TRUE(waitingToBeRead(item));
    }
    EXPECT_EQ(RegistryTree::nodeKey(widget.topLevelItem(1)), "K-2147483647");
    EXPECT_EQ(tree.enumerations(), 0);
}

TEST_F(RegistryTreeTest, ExpandingReadsOneLevelInAlphabeticalOrder) {
    for (const char* name : {"zeta", "Alpha", "beta", "Gamma,with comma", "Unexpanded"})
        test::createKey(*store, reg::kHkeyCurrentUser, std::string("Software\\") + name);
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\beta\\deep");
    QTreeWidgetItem* hkcu = root("HKEY_CURRENT_USER");
    hkcu->setExpanded(true);
    EXPECT_EQ(RegistryTree::image(hkcu), Image::OpenFolder);
    QTreeWidgetItem* software = child(hkcu, "Software");
    ASSERT_TRUE(software);
    EXPECT_EQ(RegistryTree::nodeKey(software), "K-2147483647,\\Software");

    software->setExpanded(true);
    EXPECT_EQ(childTexts(software), (QStringList{"Alpha", "beta", "Gamma,with comma", "Unexpanded", "zeta"}));
    for (int i = 0; i < software->childCount(); ++i)
        EXPECT_TRUE(waitingToBeRead(software->child(i))) << i;

    QTreeWidgetItem* comma = child(software, "Gamma,with comma");
    EXPECT_EQ(RegistryTree::nodeKey(comma), "K-2147483647,\\Software\\Gamma,with comma");
    comma->setExpanded(true);
    EXPECT_EQ(comma->childCount(), 0);  // read, and found empty: no expander left
    EXPECT_TRUE(RegistryTree::isEnumerated(comma));
    EXPECT_FALSE(showsExpander(comma));
    EXPECT_EQ(RegistryTree::image(comma), Image::OpenFolder);
    const int reads = tree.enumerations();
    comma->setExpanded(false);
    comma->setExpanded(true);
    EXPECT_EQ(tree.enumerations(), reads);
    EXPECT_FALSE(showsExpander(comma));

    QTreeWidgetItem* beta = child(software, "beta");
    beta->setExpanded(true);
    EXPECT_EQ(childTexts(beta), QStringList{"deep"});
    EXPECT_EQ(RegistryTree::fullPath(child(beta, "deep")), "HKEY_CURRENT_USER\\Software\\beta\\deep");
}

TEST_F(RegistryTreeTest, ReadsOnceUntilCollapsedThenAfresh) {
    test::createKey(*store, reg::kHkeyLocalMachine, "KarvoTest\\One");
    QTreeWidgetItem* hklm = root("HKEY_LOCAL_MACHINE");
    tree.expand(hklm);  // what a click does: read without opening on screen
    EXPECT_FALSE(hklm->isExpanded());
    const int reads = tree.enumerations();
    hklm->setExpanded(true);
    EXPECT_EQ(tree.enumerations(), reads);
    QTreeWidgetItem* sw = child(hklm, "KarvoTest");
    sw->setExpanded(true);
    EXPECT_EQ(childTexts(sw), QStringList{"One"});

    test::createKey(*store, reg::kHkeyLocalMachine, "KarvoTest\\Two");
    sw->setExpanded(false);
    EXPECT_EQ(RegistryTree::image(sw), Image::ClosedFolder);
    EXPECT_TRUE(waitingToBeRead(sw));
    EXPECT_EQ(widget.currentItem(), sw);
    sw->setExpanded(true);
    EXPECT_EQ(childTexts(sw), (QStringList{"One", "Two"}));
}

TEST_F(RegistryTreeTest, CollapsingDropsTheMarkAndTheBranchOfARoot) {
    test::createKey(*store, reg::kHkeyUsers, ".DEFAULT\\Control Panel");
    QTreeWidgetItem* users = root("HKEY_USERS");
    users->setExpanded(true);
    QTreeWidgetItem* def = child(users, ".DEFAULT");
    def->setExpanded(true);
    widget.setCurrentItem(users);
    RegistryTree::mark(users);
    EXPECT_TRUE(RegistryTree::isMarked(users));

    users->setExpanded(false);
    EXPECT_FALSE(RegistryTree::isMarked(users));
    EXPECT_EQ(widget.topLevelItemCount(), 6);
    EXPECT_TRUE(waitingToBeRead(users));
    EXPECT_EQ(tree.selectedNode(), users);
    // It comes back after the other roots.
    EXPECT_EQ(widget.indexOfTopLevelItem(users), 5);
    EXPECT_EQ(widget.topLevelItem(3)->text(0), "HKEY_CURRENT_CONFIG");

    // A read node without sub-keys only changes its picture when collapsed.
    QTreeWidgetItem* dyn = root("HKEY_DYN_DATA");
    dyn->setExpanded(true);
    EXPECT_EQ(dyn->childCount(), 0);
    tree.collapse(dyn);
    EXPECT_EQ(RegistryTree::image(dyn), Image::ClosedFolder);
    EXPECT_EQ(dyn->childCount(), 0);
}

TEST_F(RegistryTreeTest, OpenPathFollowsExactNamesAndStopsWhereOneIsMissing) {
    test::createKey(*store, reg::kHkeyCurrentUser, "Control Panel\\Desktop\\WindowMetrics");
    QTreeWidgetItem* desktop = tree.openPath({"HKEY_CURRENT_USER", "Control Panel", "Desktop"});
    ASSERT_TRUE(desktop);
    EXPECT_EQ(RegistryTree::fullPath(desktop), "HKEY_CURRENT_USER\\Control Panel\\Desktop");
    EXPECT_TRUE(desktop->isExpanded());
    EXPECT_TRUE(desktop->parent()->isExpanded());
    EXPECT_EQ(tree.selectedNode(), desktop);
    EXPECT_EQ(childTexts(desktop), QStringList{"WindowMetrics"});

    // Letter case counts; the walk ends at the deepest key found, selected but not returned.
    EXPECT_EQ(tree.openPath({"HKEY_CURRENT_USER", "control panel"}), nullptr);
    EXPECT_EQ(RegistryTree::fullPath(tree.selectedNode()), "HKEY_CURRENT_USER");
    EXPECT_EQ(tree.openPath({"HKEY_NOWHERE", "x"}), nullptr);
}

TEST_F(RegistryTreeTest, RightArrowAndDoubleClickReadAFreshNode) {
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\One");
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\One\\Below");
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\Two\\Below");
    test::createKey(*store, reg::kHkeyCurrentUser, "Software\\Empty");
    widget.resize(400, 400);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));

    QTreeWidgetItem* hkcu = root("HKEY_CURRENT_USER");
    widget.setFocus();
    widget.setCurrentItem(hkcu);
    QTest::keyClick(&widget, Qt::Key_Right);
    EXPECT_TRUE(hkcu->isExpanded());
    QTreeWidgetItem* software = child(hkcu, "Software");
    ASSERT_TRUE(software);
    widget.setCurrentItem(software);
    QTest::keyClick(&widget, Qt::Key_Right);
    EXPECT_EQ(childTexts(software), (QStringList{"Empty", "One", "Two"}));

    QTreeWidgetItem* two = child(software, "Two");
    widget.scrollToItem(two);
    const QPoint at = widget.visualItemRect(two).center();
    QTest::mouseClick(widget.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget.viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(two->isExpanded());
    EXPECT_EQ(childTexts(two), QStringList{"Below"});

    // The right arrow on a key found empty leaves it as it is: nothing to open any more.
    QTreeWidgetItem* empty = child(software, "Empty");
    widget.setCurrentItem(empty);
    QTest::keyClick(&widget, Qt::Key_Right);
    EXPECT_TRUE(RegistryTree::isEnumerated(empty));
    EXPECT_FALSE(showsExpander(empty));
    const int reads = tree.enumerations();
    QTest::keyClick(&widget, Qt::Key_Right);
    EXPECT_EQ(tree.enumerations(), reads);
}

}  // namespace
