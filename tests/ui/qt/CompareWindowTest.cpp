// The comparison window's Qt front end: its controls made from the table, a hand-made comparison's
// rows, expansion passed to the logic and its batches carried out (what is shown where is the
// logic's, tested beside it).
#include "ui/qt/frmCompare.h"

#include "SampleComparison.h"
#include "WindowChecks.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace karvo::test;

namespace {

// A row's five columns in one line, "|" between them.
std::string texts(const QTreeWidgetItem* item) {
    QStringList out;
    for (int i = 0; i < item->treeWidget()->columnCount(); ++i)
        out << item->text(i);
    return out.join('|').toStdString();
}

}  // namespace

TEST(CompareWindow, ShowsTheComparisonAndFillsEachKeyOnItsFirstExpansion) {
    frmCompare window("Sample.reg", sampleComparison());
    EXPECT_EQ(window.objectName(), "frmCompare");
    EXPECT_EQ(window.windowTitle(), "Compare Sample.reg with the Registry");
    EXPECT_TRUE(child<QLabel>(&window, "lblCounts")->text().startsWith("2 values changed, 1 only in the backup"));
    EXPECT_TRUE(child<QRadioButton>(&window, "optDifferences")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(&window, "optEverything")->isChecked());
    auto* tree = child<QTreeWidget>(&window, "tvwCompare");
    EXPECT_EQ(tree->columnCount(), 5);
    EXPECT_TRUE(tree->uniformRowHeights());

    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* top = tree->topLevelItem(0);
    EXPECT_EQ(top->text(0), "HKEY_CURRENT_USER\\Software\\Sample");
    EXPECT_TRUE(top->isExpanded());  // the top key opens at once
    ASSERT_EQ(top->childCount(), 6);
    QTreeWidgetItem* colour = top->child(0);
    EXPECT_EQ(texts(colour), "Colour|REG_SZ|red|blue|\u2260 changed");
    const auto c = karvo::compare::markColour(karvo::compare::Mark::Changed);
    EXPECT_EQ(colour->foreground(0).color(), QColor(c.red, c.green, c.blue));
    EXPECT_EQ(texts(top->child(1)), "Gone|REG_DWORD|0x0000002a (42)||+ only in the backup");
    QTreeWidgetItem* paths = top->child(3);
    tree->expandItem(paths);
    ASSERT_EQ(paths->childCount(), 3);
    EXPECT_EQ(texts(paths->child(1)), "[2]||b|c|\u2260 changed");
    EXPECT_EQ(top->child(4)->text(0), "Added");
    EXPECT_EQ(top->child(4)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

    // Collapsing drops the branch; opening reads it again.
    tree->collapseItem(top);
    EXPECT_EQ(top->childCount(), 0);
    tree->expandItem(top);
    EXPECT_EQ(top->childCount(), 6);

    // The switch refills from the top.
    QTest::mouseClick(child(&window, "optEverything"), Qt::LeftButton);
    EXPECT_TRUE(child<QRadioButton>(&window, "optEverything")->isChecked());
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    top = tree->topLevelItem(0);
    EXPECT_EQ(top->childCount(), 8);
    EXPECT_EQ(texts(top->child(0)), "(Default)|REG_SZ|hello|hello|= same");

    window.show();
    QTest::mouseClick(child(&window, "cmdClose"), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}
