// The favourites file, the list hygiene and the rules of the favourites commands.
#include "favourites/Favourites.h"

#include "TestSupport.h"

#include <filesystem>

#include <gtest/gtest.h>

using namespace karvo;
using namespace karvo::favourites;

namespace {

TEST(FavouritesFile, ReadAsWrittenSavedWholeWithCrLfAndCleanedOfBlanksAndRepeats) {
    test::TempDir dir;
    const auto path = dir / "Favs.tlv";
    test::writeFile(path, "Favorite Keys\r\nA\r\n\r\n\r\nA\r\n  lead, comma\r\nunix\nlast");
    EXPECT_EQ(readFavourites(path), (Entries{"Favorite Keys", "A", "", "", "A", "  lead, comma", "unix", "last"}));
    EXPECT_TRUE(readFavourites(dir / "absent.tlv").empty());

    // The new file replaces the old, longer one whole, and nothing is left beside it.
    ASSERT_TRUE(writeFavourites(path, {"Favorite Keys", "HKEY_CURRENT_USER\\Control Panel\\Desktop", "\xC3\xA9"}));
    EXPECT_EQ(test::readFile(path), "Favorite Keys\r\nHKEY_CURRENT_USER\\Control Panel\\Desktop\r\n\xC3\xA9\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(writeFavourites(dir / "no such folder" / "Favs.tlv", {"x"}));
    EXPECT_TRUE(ensureFavouritesFile(path));
    EXPECT_EQ(readFavourites(path).size(), 3u);  // an existing file is kept
    std::filesystem::remove(path);
    EXPECT_TRUE(ensureFavouritesFile(path));
    EXPECT_EQ(test::readFile(path), "Favorite Keys\r\n");

    // Blanks and repeats go, the first occurrence stays; letter case counts.
    Entries entries{"Favorite Keys", "A", "", "", "A", "B", "a", " ", "B"};
    ClearBlanks(entries);
    ClearDoubles(entries);
    EXPECT_EQ(entries, (Entries{"Favorite Keys", "A", "B", "a", " "}));
}

TEST(FavouritesRules, OnlyKeysAreAddedAndArrowsActOnlyOnAnotherClickedKey) {
    for (const char* refused : {kPrompt, "HKEY_CURRENT_USER", "HKEY_PERFORMANCE_DATA"})
        EXPECT_FALSE(mayBeFavourite(refused)) << refused;
    EXPECT_TRUE(mayBeFavourite("HKEY_CURRENT_USER\\Software"));
    EXPECT_EQ(pathComponents("HKEY_USERS\\a b\\\\c"), (Entries{"HKEY_USERS", "a b", "", "c"}));
    EXPECT_FALSE(arrowsApply("x", kPrompt));
    EXPECT_FALSE(arrowsApply("HKEY_USERS\\a", "HKEY_USERS\\a"));
    EXPECT_TRUE(arrowsApply("Favorite Keys", "HKEY_USERS\\a"));
}

}  // namespace
