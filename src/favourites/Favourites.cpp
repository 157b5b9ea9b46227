#include "favourites/Favourites.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace karvo::favourites {

fs::path favouritesPath(const fs::path& folder) { return folder / "Favs.tlv"; }

Entries readFavourites(const fs::path& path) {
    Entries lines;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return lines;
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(bytes.substr(start, end - start));
        if (end < bytes.size() && bytes[end] == '\r')
            ++end;
        if (end < bytes.size() && bytes[end] == '\n')
            ++end;
        start = end;
    }
    return lines;
}

bool writeFavourites(const fs::path& path, const Entries& entries) {
    fs::path saving = path;
    saving += ".saving";
    {
        std::ofstream file(saving, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        for (const std::string& entry : entries)
            file << entry << "\r\n";
        file.flush();
        if (!file) {
            file.close();
            std::error_code ignored;
            fs::remove(saving, ignored);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(saving, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(saving, ignored);
        return false;
    }
    return true;
}

bool ensureFavouritesFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) || writeFavourites(path, {kHeading});
}

void ClearBlanks(Entries& entries) { std::erase(entries, std::string()); }

void ClearDoubles(Entries& entries) {
    std::set<std::string> seen;
    Entries kept;
    kept.reserve(entries.size());
    for (std::string& entry : entries)
        if (seen.insert(entry).second)
            kept.push_back(std::move(entry));  // after the set took its own copy
    entries = std::move(kept);
}

bool mayBeFavourite(const std::string& keyPathText) {
    static constexpr const char* refused[] = {kPrompt,          "HKEY_CLASSES_ROOT",   "HKEY_CURRENT_USER",
                                              "HKEY_LOCAL_MACHINE", "HKEY_USERS",      "HKEY_CURRENT_CONFIG",
                                              "HKEY_DYN_DATA",    "HKEY_PERFORMANCE_DATA"};
    return std::none_of(std::begin(refused), std::end(refused), [&](const char* r) { return keyPathText == r; });
}

Entries pathComponents(const std::string& favourite) {
    Entries parts;
    std::size_t start = 0;
    for (std::size_t at; (at = favourite.find('\\', start)) != std::string::npos; start = at + 1)
        parts.push_back(favourite.substr(start, at - start));
    parts.push_back(favourite.substr(start));
    return parts;
}

bool arrowsApply(const std::string& comboText, const std::string& keyPathText) {
    return comboText != keyPathText && keyPathText != kPrompt;
}

}  // namespace karvo::favourites
