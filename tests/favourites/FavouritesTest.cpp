// The favourites file, the two list-hygiene operations and the favourites combo box.
#include "favourites/ComboHygiene.h"
#include "favourites/Favourites.h"

#include "TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>

#include <gtest/gtest.h>

using namespace karvo;
using namespace karvo::favourites;

namespace {

QString q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

TEST(FavouritesFile, ReadAsWrittenSavedWholeWithCrLfAndCleanedOfBlanksAndRepeats) {
    test::TempDir dir;
    const QString path = q(dir / "Favs.tlv");
    test::writeFile(dir / "Favs.tlv", "Favorite Keys\r\nA\r\n\r\n\r\nA\r\n  lead, comma\r\nunix\nlast");
    EXPECT_EQ(readFavourites(path), (QStringList{"Favorite Keys", "A", "", "", "A", "  lead, comma", "unix", "last"}));
    EXPECT_TRUE(readFavourites(q(dir / "absent.tlv")).isEmpty());

    // The new file replaces the old, longer one whole, and nothing is left beside it.
    ASSERT_TRUE(writeFavourites(path, {"Favorite Keys", "HKEY_CURRENT_USER\\Control Panel\\Desktop", "é"}));
    EXPECT_EQ(test::readFile(dir / "Favs.tlv"),
              "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n\xC3\xA9\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(writeFavourites(q(dir / "no such folder" / "Favs.tlv"), {"x"}));

    // Blanks and repeats go, the first occurrence stays.
    const QStringList entries{"Favorite Keys", "A", "", "", "A", "B", "a", " ", "B"};
    EXPECT_EQ(withoutDoubles(withoutBlanks(entries)), (QStringList{"Favorite Keys", "A", "B", "a", " "}));
    EXPECT_EQ(withoutBlanks(withoutDoubles(entries)), withoutDoubles(withoutBlanks(entries)));
    EXPECT_EQ(doublePositions(entries), (QList<int>{3, 4, 8}));

    QListWidget list;
    list.addItems({"x", "", "x", "y", "x"});
    ClearDoubles(&list);
    ClearBlanks(&list);
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(1)->text(), "y");
}

TEST(FavouritesCombo, TypingNeitherCompletesNorChoosesButTheListStillDoes) {
    QComboBox combo;
    combo.setEditable(true);
    combo.setInsertPolicy(QComboBox::NoInsert);
    combo.addItems({"Favorite Keys", "HKEY_CURRENT_USER\\Control Panel"});
    keepTypingFromChoosing(&combo);
    QSignalSpy activated(&combo, &QComboBox::activated);

    combo.lineEdit()->clear();
    QTest::keyClicks(combo.lineEdit(), "hkey_c");
    EXPECT_EQ(combo.currentText(), "hkey_c");
    combo.setEditText("HKEY_CURRENT_USER\\Control Panel");
    for (QWidget* target : {static_cast<QWidget*>(combo.lineEdit()), static_cast<QWidget*>(&combo)})
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(target, key);
    EXPECT_EQ(activated.count(), 0);
    EXPECT_EQ(combo.currentIndex(), 0);

    QTest::keyClick(&combo, Qt::Key_Down);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toInt(), 1);
}

}  // namespace
