// The favourites file and the two list-hygiene operations.
#include "favourites/ComboHygiene.h"
#include "favourites/Favourites.h"

#include "TestSupport.h"

#include <QListWidget>

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

}  // namespace
