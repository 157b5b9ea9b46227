// Favourite keys: the file "Favs.tlv" beside the program, one entry per line ending in CR LF, the
// list hygiene both of the window's lists get, and the rules of the favourites commands.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace karvo::favourites {

using Entries = std::vector<std::string>;

// Entry 0 of the list, written into a new file.
inline constexpr const char* kHeading = "Favorite Keys";
// What the status line holds before any key has been clicked.
inline constexpr const char* kPrompt = "Select a Key to Backup, Restore or Add to Favorites";

// The favourites file in folder.
std::filesystem::path favouritesPath(const std::filesystem::path& folder);

// The file's lines in order, without their line ends (a last line without CR LF counts too). An
// unreadable file gives none. Text is UTF-8, the system code page here.
Entries readFavourites(const std::filesystem::path& path);
// Replaces the file by the entries, each followed by CR LF. The new content is written beside the
// old file and then renamed over it, so an interrupted save leaves the old file intact.
bool writeFavourites(const std::filesystem::path& path, const Entries& entries);
// Creates the file with the single heading line when it does not exist yet.
bool ensureFavouritesFile(const std::filesystem::path& path);

// Removes empty entries, and repeats of an earlier entry (letter case counts); order kept.
void ClearBlanks(Entries& entries);
void ClearDoubles(Entries& entries);

// Whether the status line's text may be added: not the prompt and not a bare root name.
bool mayBeFavourite(const std::string& keyPathText);

// The components of a favourite, root name first.
Entries pathComponents(const std::string& favourite);
// Whether the arrows act: the combo's text is not the marked key's path and a key has been clicked.
bool arrowsApply(const std::string& comboText, const std::string& keyPathText);

}  // namespace karvo::favourites
