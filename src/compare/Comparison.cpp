// A backup compared with the live registry, in two steps: the file is read through the import's
// own reader into a model of what an import would leave (Backup), then the live registry below
// each of the backup's top keys is walked beside that model (Walk), key by key and value by value.
//
// Large backups hold a million values, so the model is built straight into the entries the
// comparison hands out: a value's name and data are copied once, from the reader, and values found
// the same keep that one copy.
#include "compare/Comparison.h"

#include "regfile/RegFile.h"
#include "registry/KeyNames.h"
#include "registry/RootKeys.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <unordered_map>
#include <utility>

namespace karvo::compare {

namespace {

using reg::DWORD;
using reg::HKey;
using reg::LONG;

char upperAscii(unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c); }

// Whether two names are one to the registry: letter case ignored. Most names are ASCII and are
// compared in place; the rest are folded from the first character beyond ASCII on.
bool sameName(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (((x | y) & 0x80) != 0)
            break;
        if (x != y && upperAscii(x) != upperAscii(y))
            return false;
    }
    if (i == n)
        return a.size() == b.size();  // what is left of the longer one folds to something
    return reg::detail::foldName(a.substr(i)) == reg::detail::foldName(b.substr(i));
}

std::string rootName(HKey root) {
    for (const reg::RootKey& r : reg::kRootKeys)
        if (r.handle == root)
            return std::string(r.name);
    return {};
}

// A key as the backup leaves it.
struct Node {
    std::string name;    // as the file first spells it (a root: its full name)
    std::string folded;  // the name as the registry compares it
    std::uint32_t parent = kNoKey;
    HKey root = 0;
    bool present = false;  // listed, or below no deletion since, or implied by a key below it
    bool cleared = false;  // the file deletes it, with whatever the registry has in it
    bool listed = false;   // named by a [key] or [-key] line
    bool walked = false;
    std::uint32_t firstListed = 0;
    std::vector<std::uint32_t> children;
    // Values in file order; a value the file removes is kept with removedByBackup set.
    std::vector<ValueEntry> values;
};

// The model's keys found by parent and name, letter case ignored: open addressing over the node
// numbers, so a key costs no allocation of its own and is mostly found at the first probe.
class ChildIndex {
public:
    std::uint32_t find(const std::vector<Node>& nodes, std::uint32_t parent, std::string_view folded) const {
        if (slots_.empty())
            return kNoKey;
        const std::uint64_t h = hash(parent, folded);
        for (std::size_t i = static_cast<std::size_t>(h) & mask_;; i = (i + 1) & mask_) {
            const Slot& slot = slots_[i];
            if (slot.node == kNoKey)
                return kNoKey;
            if (slot.hash == h && nodes[slot.node].parent == parent && nodes[slot.node].folded == folded)
                return slot.node;
        }
    }

    void add(const std::vector<Node>& nodes, std::uint32_t node) {
        if (2 * (used_ + 1) > slots_.size()) {
            std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(std::max<std::size_t>(1024, 2 * slots_.size())));
            mask_ = slots_.size() - 1;
            for (const Slot& slot : old)
                if (slot.node != kNoKey)
                    insert(slot.hash, slot.node);
        }
        insert(hash(nodes[node].parent, nodes[node].folded), node);
        ++used_;
    }

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t node = kNoKey;
    };

    static std::uint64_t hash(std::uint32_t parent, std::string_view folded) {
        return std::hash<std::string_view>{}(folded) ^ (parent * 0x9E3779B97F4A7C15ull);
    }
    void insert(std::uint64_t h, std::uint32_t node) {
        std::size_t i = static_cast<std::size_t>(h) & mask_;
        while (slots_[i].node != kNoKey)
            i = (i + 1) & mask_;
        slots_[i] = {h, node};
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t used_ = 0;
};

// Values are found by name by a scan while a key has few, through an index beyond that.
constexpr std::size_t kScanLimit = 16;

// Builds the model as the reader hands over the file's changes.
//
// The values of the key being read collect in one vector that keeps its room, and go to their key,
// in a vector of just their size, once the file moves on: no room is left over in a million values.
class Backup final : public regfile::RegVisitor {
public:
    std::string key(HKey root, const std::string& path) override {
        settle();
        current_ = find(root, path);
        for (std::uint32_t at = current_; at != kNoKey && !nodes_[at].present; at = nodes_[at].parent)
            nodes_[at].present = true;  // importing a key makes its parents
        // A key listed again takes its values up where the file left them.
        std::move(nodes_[current_].values.begin(), nodes_[current_].values.end(), std::back_inserter(staged_));
        nodes_[current_].values = {};
        return {};
    }

    std::string deleteKey(HKey root, const std::string& path) override {
        settle();
        std::vector<std::uint32_t> pending{find(root, path)};
        nodes_[pending.back()].cleared = true;
        while (!pending.empty()) {
            Node& node = nodes_[pending.back()];
            pending.pop_back();
            node.present = false;
            node.values = {};
            index_.erase(static_cast<std::uint32_t>(&node - nodes_.data()));
            pending.insert(pending.end(), node.children.begin(), node.children.end());
        }
        return {};
    }

    std::string value(const std::string& name, DWORD type, const std::string& data) override {
        ValueEntry& v = slot(name);
        v.removedByBackup = false;
        v.backup.type = type;
        v.backup.bytes = data;
        return {};
    }

    std::string deleteValue(const std::string& name) override {
        ValueEntry& v = slot(name);
        v.removedByBackup = true;
        v.backup = {};
        return {};
    }

    // The file has been read to its end.
    void done() {
        settle();
        index_.clear();
        staged_ = {};
    }

    std::vector<Node>& nodes() { return nodes_; }
    // The child of `parent` whose name folds to `folded`; kNoKey when the file has none.
    std::uint32_t child(std::uint32_t parent, std::string_view folded) const {
        return children_.find(nodes_, parent, folded);
    }
    // Listed keys not below another listed key, in the order the file first lists them.
    std::vector<std::uint32_t> tops() const {
        std::vector<std::uint32_t> tops;
        for (std::uint32_t i = 0; i < nodes_.size(); ++i) {
            if (!nodes_[i].listed)
                continue;
            bool below = false;
            for (std::uint32_t at = nodes_[i].parent; at != kNoKey && !below; at = nodes_[at].parent)
                below = nodes_[at].listed;
            if (!below)
                tops.push_back(i);
        }
        std::sort(tops.begin(), tops.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return nodes_[a].firstListed < nodes_[b].firstListed; });
        return tops;
    }

private:
    struct Known {
        std::size_t end;  // where the key's name ends in lastPath_
        std::uint32_t node;
    };

    void settle() {
        if (current_ == kNoKey)
            return;
        std::vector<ValueEntry> values;
        values.reserve(staged_.size());
        std::move(staged_.begin(), staged_.end(), std::back_inserter(values));
        nodes_[current_].values = std::move(values);
        staged_.clear();
        current_ = kNoKey;
    }

    // The node of `name` below `parent`, made when the file has not named it before.
    std::uint32_t step(std::uint32_t parent, HKey root, std::string_view name) {
        std::string folded = parent == kNoKey ? std::string(name) : reg::detail::foldName(name);
        if (const std::uint32_t known = child(parent, folded); known != kNoKey)
            return known;
        const auto made = static_cast<std::uint32_t>(nodes_.size());
        Node node;
        node.name = std::string(name);
        node.folded = std::move(folded);
        node.parent = parent;
        node.root = root;
        nodes_.push_back(std::move(node));
        children_.add(nodes_, made);
        if (parent != kNoKey)
            nodes_[parent].children.push_back(made);
        return made;
    }

    // The node of a key of the file. A file lists a parent before its children, so the search
    // starts from the deepest key the last one found shares with this one.
    std::uint32_t find(HKey root, const std::string& path) {
        if (root != lastRoot_ || lastKnown_.empty()) {
            lastRoot_ = root;
            lastPath_.clear();
            lastKnown_.assign(1, {0, step(kNoKey, root, rootName(root))});
        }
        std::size_t keep = lastKnown_.size();
        for (; keep > 1; --keep) {
            const std::size_t end = lastKnown_[keep - 1].end;
            if (path.size() >= end && (path.size() == end || path[end] == '\\') &&
                path.compare(0, end, lastPath_, 0, end) == 0)
                break;
        }
        lastKnown_.resize(keep);
        std::uint32_t at = lastKnown_.back().node;
        for (std::size_t pos = lastKnown_.back().end; pos < path.size();) {
            while (pos < path.size() && path[pos] == '\\')
                ++pos;
            const std::size_t end = std::min(path.find('\\', pos), path.size());
            if (end == pos)
                break;
            at = step(at, root, std::string_view(path).substr(pos, end - pos));
            lastKnown_.push_back({end, at});
            pos = end;
        }
        lastPath_ = path;
        if (!nodes_[at].listed) {
            nodes_[at].listed = true;
            nodes_[at].firstListed = listed_++;
        }
        return at;
    }

    // The entry for a value of the current key, made at the end when the key has none yet; the
    // file's last word on a value is the one that counts.
    ValueEntry& slot(const std::string& name) {
        std::vector<ValueEntry>& values = staged_;
        if (values.size() <= kScanLimit) {
            for (ValueEntry& v : values)
                if (sameName(v.name, name))
                    return v;
        } else {
            auto& index = index_[current_];
            if (index.empty())
                for (std::uint32_t i = 0; i < values.size(); ++i)
                    index.emplace(reg::detail::foldName(values[i].name), i);
            const auto [it, added] = index.emplace(reg::detail::foldName(name), static_cast<std::uint32_t>(values.size()));
            if (!added)
                return values[it->second];
        }
        values.push_back(ValueEntry{name, Difference::Same, false, kNoData, {}});
        return values.back();
    }

    std::vector<Node> nodes_;
    ChildIndex children_;
    std::unordered_map<std::uint32_t, std::unordered_map<std::string, std::uint32_t>> index_;
    std::uint32_t current_ = kNoKey;
    std::vector<ValueEntry> staged_;  // the current key's values
    std::uint32_t listed_ = 0;
    HKey lastRoot_ = 0;
    std::string lastPath_;
    std::vector<Known> lastKnown_;  // the root, then each key on the way to the last one found
};

void count(Counts& counts, Difference d) {
    switch (d) {
    case Difference::Same: ++counts.same; break;
    case Difference::Changed: ++counts.changed; break;
    case Difference::OnlyInBackup: ++counts.onlyInBackup; break;
    case Difference::OnlyInRegistry: ++counts.onlyInRegistry; break;
    }
}

// Walks the live registry beside the model, adding the comparison's keys parents first.
class Walk {
public:
    Walk(reg::RegistryService& service, Backup& backup, Comparison& out)
        : service_(service), backup_(backup), nodes_(backup.nodes()), out_(out) {}

    // A top key, read from its root; false when the registry cannot be read.
    bool top(std::uint32_t node) {
        std::string path;
        for (std::uint32_t at = node; nodes_[at].parent != kNoKey; at = nodes_[at].parent)
            path = nodes_[at].name + (path.empty() ? "" : "\\" + path);
        HKey live = 0;
        const LONG rc = service_.RegOpenKeyExA(nodes_[node].root, path.c_str(), 0, reg::kKeyRead, &live);
        std::string full = rootName(nodes_[node].root) + (path.empty() ? "" : "\\" + path);
        if (rc != reg::kErrorSuccess && rc != reg::kErrorFileNotFound)
            return fail("cannot read the key " + full + regfile::failureText(rc));
        const std::uint32_t at = key(node, live, std::move(full), kNoKey, false);
        if (live != 0)
            service_.RegCloseKey(live);
        if (at != kNoKey)
            out_.tops.push_back(at);
        return problem_.empty();
    }

    const std::string& problem() const { return problem_; }

private:
    struct Child {
        std::string folded;
        std::string name;      // as the backup spells it, when it has the key
        std::string liveName;  // "" when the registry has no such key
        std::uint32_t node;
    };

    bool fail(std::string problem) {
        if (problem_.empty())
            problem_ = std::move(problem);
        return false;
    }

    // The key `node` of the model (kNoKey: the backup has no such key) beside the live key open as
    // `live` (0: there is none), with everything below them. Answers the new entry, or kNoKey when
    // neither has the key.
    std::uint32_t key(std::uint32_t node, HKey live, std::string name, std::uint32_t parent, bool clearedAbove) {
        const bool inBackup = node != kNoKey && nodes_[node].present;
        if (!inBackup && live == 0)
            return kNoKey;
        const bool cleared = clearedAbove || (node != kNoKey && nodes_[node].cleared);
        const auto at = static_cast<std::uint32_t>(out_.keys.size());
        {
            KeyEntry entry;
            entry.name = std::move(name);
            entry.difference = !inBackup ? Difference::OnlyInRegistry : live != 0 ? Difference::Same
                                                                                   : Difference::OnlyInBackup;
            entry.removedByBackup = !inBackup && cleared;
            entry.parent = parent;
            if (inBackup)
                entry.values = std::move(nodes_[node].values);
            count(out_.keyCounts, entry.difference);
            out_.keys.push_back(std::move(entry));
        }
        if (!values(at, live, cleared))
            return at;

        std::vector<Child> children;
        if (!gather(node, live, children))
            return at;
        bool differs = out_.keys[at].difference != Difference::Same ||
                       std::any_of(out_.keys[at].values.begin(), out_.keys[at].values.end(),
                                   [](const ValueEntry& v) { return v.difference != Difference::Same; });
        for (Child& c : children) {
            HKey child = 0;
            if (!c.liveName.empty()) {
                const LONG rc = service_.RegOpenKeyExA(live, c.liveName.c_str(), 0, reg::kKeyRead, &child);
                if (rc != reg::kErrorSuccess && rc != reg::kErrorFileNotFound) {
                    fail("cannot read the key " + out_.fullPath(at) + "\\" + c.liveName + regfile::failureText(rc));
                    return at;
                }
            }
            const std::uint32_t made = key(c.node, child, std::move(c.name), at, cleared);
            if (child != 0)
                service_.RegCloseKey(child);
            if (made != kNoKey) {
                out_.keys[at].children.push_back(made);
                differs = differs || out_.keys[made].differs;
            }
            if (!problem_.empty())
                return at;
        }
        out_.keys[at].differs = differs;
        return at;
    }

    // The sub-keys of both, ordered by name with letter case ignored.
    bool gather(std::uint32_t node, HKey live, std::vector<Child>& children) {
        if (node != kNoKey)
            children.reserve(nodes_[node].children.size());
        if (live != 0) {
            for (DWORD i = 0;; ++i) {
                const LONG rc = service_.EnumKeyRaw(live, i, name_);
                if (rc == reg::kErrorNoMoreItems)
                    break;
                if (rc != reg::kErrorSuccess)
                    return fail("cannot read the sub-keys of " + liveName(live) + regfile::failureText(rc));
                std::string folded = reg::detail::foldName(name_);
                const std::uint32_t match = node == kNoKey ? kNoKey : backup_.child(node, folded);
                const bool backed = match != kNoKey && nodes_[match].present;
                if (match != kNoKey)
                    nodes_[match].walked = true;
                children.push_back({std::move(folded), backed ? std::move(nodes_[match].name) : name_, name_, match});
            }
        }
        if (node != kNoKey) {
            for (const std::uint32_t c : nodes_[node].children)
                if (!nodes_[c].walked && nodes_[c].present)
                    children.push_back({nodes_[c].folded, std::move(nodes_[c].name), {}, c});
        }
        std::sort(children.begin(), children.end(), [](const Child& a, const Child& b) { return a.folded < b.folded; });
        return true;
    }

    std::string liveName(HKey live) {
        std::string path;
        return service_.KeyPath(live, path) ? path : "a key";
    }

    // The backup's values of entry `at` (the entry holds them already) beside the live ones.
    bool values(std::uint32_t at, HKey live, bool cleared) {
        std::vector<ValueEntry>& values = out_.keys[at].values;
        matched_.assign(values.size(), 0);
        std::vector<ValueEntry> extra;  // only in the registry
        std::unordered_map<std::string, std::uint32_t> index;
        std::size_t hint = 0;
        for (DWORD i = 0; live != 0; ++i) {
            const LONG rc = service_.EnumValueRaw(live, i, name_, type_, data_);
            if (rc == reg::kErrorNoMoreItems)
                break;
            if (rc != reg::kErrorSuccess)
                return fail("cannot read the values of " + out_.fullPath(at) + regfile::failureText(rc));
            const std::size_t j = find(values, index, hint);
            if (j == values.size() || values[j].removedByBackup) {
                extra.push_back({name_, Difference::OnlyInRegistry, cleared || j < values.size(), keepLive(), {}});
                continue;
            }
            hint = j + 1;
            ValueEntry& v = values[j];
            const bool same = v.backup.type == type_ && v.backup.bytes.size() == data_.size() &&
                              (data_.empty() || std::memcmp(v.backup.bytes.data(), data_.data(), data_.size()) == 0);
            if (!same) {
                v.difference = Difference::Changed;
                v.live = keepLive();
            }
        }
        std::size_t kept = 0;
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (values[j].removedByBackup)
                continue;  // the file removes it, and the registry has none
            if (!matched_[j])
                values[j].difference = Difference::OnlyInBackup;
            if (kept != j)
                values[kept] = std::move(values[j]);
            count(out_.valueCounts, values[kept++].difference);
        }
        values.resize(kept);
        for (ValueEntry& v : extra) {
            count(out_.valueCounts, v.difference);
            values.push_back(std::move(v));
        }
        return true;
    }

    // Keeps the live value just read in the comparison's liveData; answers where.
    std::uint32_t keepLive() {
        out_.liveData.push_back({type_, std::string(data_.begin(), data_.end())});
        return static_cast<std::uint32_t>(out_.liveData.size() - 1);
    }

    // The backup's value named like the live one just read, not yet matched; values.size() when
    // there is none. Files mostly keep the registry's order, so the search starts after the last
    // match; a key with many values is looked up through an index.
    std::size_t find(const std::vector<ValueEntry>& values, std::unordered_map<std::string, std::uint32_t>& index,
                     std::size_t hint) {
        const std::size_t n = values.size();
        std::size_t found = n;
        if (n <= kScanLimit) {
            for (std::size_t k = 0; k < n && found == n; ++k) {
                const std::size_t j = (hint + k) % n;
                if (!matched_[j] && sameName(values[j].name, name_))
                    found = j;
            }
        } else {
            if (index.empty())
                for (std::uint32_t j = 0; j < n; ++j)
                    index.emplace(reg::detail::foldName(values[j].name), j);
            if (const auto it = index.find(reg::detail::foldName(name_)); it != index.end() && !matched_[it->second])
                found = it->second;
        }
        if (found != n)
            matched_[found] = 1;
        return found;
    }

    reg::RegistryService& service_;
    Backup& backup_;
    std::vector<Node>& nodes_;
    Comparison& out_;
    std::string problem_;
    std::vector<char> matched_;
    std::string name_;
    DWORD type_ = 0;
    std::vector<std::uint8_t> data_;
};

// Reads the registry at one moment, where the registry can.
class Snapshot {
public:
    explicit Snapshot(reg::RegistryService& service)
        : service_(service), active_(service.BeginSnapshot() == reg::kErrorSuccess) {}
    ~Snapshot() {
        if (active_)
            service_.EndSnapshot();
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

private:
    reg::RegistryService& service_;
    bool active_;
};

Comparison compare(reg::RegistryService& service, Backup& backup, const regfile::Result& read, const std::string& name) {
    Comparison c;
    if (!read.ok) {
        c.problem = read.message;
        return c;
    }
    backup.done();
    const std::vector<std::uint32_t> tops = backup.tops();
    if (tops.empty()) {
        c.problem = name + ": the file holds no registry key";
        return c;
    }
    // Mostly the registry has the backup's keys: room for them at once, rather than moving a
    // hundred thousand entries each time the vector grows.
    c.keys.reserve(backup.nodes().size());
    {
        Snapshot snapshot(service);
        Walk walk(service, backup, c);
        for (const std::uint32_t top : tops) {
            if (!walk.top(top)) {
                Comparison failed;
                failed.problem = walk.problem();
                return failed;
            }
        }
    }
    c.ok = true;
    return c;
}

// Every entry of the comparison parents first, children in order; `visit` answers whether to go
// below the entry, and sees its full path.
template <class Visit>
void preorder(const Comparison& c, Visit visit) {
    struct Level {
        const std::vector<std::uint32_t>* keys;
        std::size_t next;
        std::size_t pathSize;
    };
    std::string path;
    std::vector<Level> stack{{&c.tops, 0, 0}};
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.keys->size()) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t at = (*level.keys)[level.next++];
        path.resize(level.pathSize);
        if (stack.size() > 1)
            path.push_back('\\');
        path += c.keys[at].name;
        if (visit(at, path))
            stack.push_back({&c.keys[at].children, 0, path.size()});
    }
}

std::string valueLabel(const std::string& name) {
    return name.empty() ? "the default value" : "the value \"" + name + "\"";
}

}  // namespace

std::string Comparison::fullPath(std::uint32_t key) const {
    std::string path;
    for (std::uint32_t at = key; at != kNoKey; at = keys[at].parent)
        path = keys[at].name + (path.empty() ? "" : "\\" + path);
    return path;
}

const Data& Comparison::liveOf(const ValueEntry& value) const {
    static const Data none;
    return value.live < liveData.size() ? liveData[value.live] : none;
}

Comparison compareWithRegistry(reg::RegistryService& service, const std::filesystem::path& backupFile) {
    Backup backup;
    const std::string name = backupFile.string();
    const regfile::Result read = regfile::readRegFile(name, backup);
    return compare(service, backup, read, name);
}

Comparison compareBytesWithRegistry(reg::RegistryService& service, std::string_view bytes, const std::string& name) {
    Backup backup;
    const regfile::Result read = regfile::readRegBytes(bytes, name, backup);
    return compare(service, backup, read, name);
}

bool writeExactRestore(const Comparison& comparison, std::ostream& out) {
    if (!comparison.ok)
        return false;
    regfile::RegComposer file(out, regfile::Format::Unicode5);
    file.header();
    // First what the registry has beyond the backup goes: a key only there with its whole branch.
    preorder(comparison, [&](std::uint32_t at, const std::string& path) {
        const KeyEntry& key = comparison.keys[at];
        if (key.difference == Difference::OnlyInRegistry) {
            file.deleteKey(path);
            return false;
        }
        if (key.difference == Difference::Same) {
            bool opened = false;
            for (const ValueEntry& v : key.values) {
                if (v.difference != Difference::OnlyInRegistry)
                    continue;
                if (!std::exchange(opened, true))
                    file.key(path);
                file.deleteValue(v.name);
            }
        }
        return key.differs;
    });
    // Then the backup itself.
    preorder(comparison, [&](std::uint32_t at, const std::string& path) {
        const KeyEntry& key = comparison.keys[at];
        if (key.difference == Difference::OnlyInRegistry)
            return false;
        file.key(path);
        for (const ValueEntry& v : key.values)
            if (v.difference != Difference::OnlyInRegistry)
                file.value(v.name, v.backup.type, v.backup.bytes);
        return true;
    });
    return file.finish().ok;
}

std::string mismatch(const Comparison& comparison, Expect expect) {
    if (!comparison.ok)
        return comparison.problem;
    // What the registry has beyond the backup counts after a plain restore only where the file
    // itself removes it.
    const auto wrong = [&](Difference d, bool removedByBackup) {
        return d != Difference::Same && (d != Difference::OnlyInRegistry || expect == Expect::Equal || removedByBackup);
    };
    std::string found;
    preorder(comparison, [&](std::uint32_t at, const std::string& path) {
        if (!found.empty())
            return false;
        const KeyEntry& key = comparison.keys[at];
        if (wrong(key.difference, key.removedByBackup)) {
            found = path + (key.difference == Difference::OnlyInBackup ? ": the key is in the backup but not in the registry"
                            : key.removedByBackup ? ": the backup removes the key, but it is still in the registry"
                                                  : ": the key is in the registry but not in the backup");
            return false;
        }
        for (const ValueEntry& v : key.values) {
            if (!wrong(v.difference, v.removedByBackup))
                continue;
            const std::string what = valueLabel(v.name);
            switch (v.difference) {
            case Difference::Changed: found = path + ": " + what + " differs from the backup"; break;
            case Difference::OnlyInBackup: found = path + ": " + what + " is in the backup but not in the registry"; break;
            default:
                found = path + (v.removedByBackup ? ": the backup removes " + what + ", but it is still in the registry"
                                                  : ": " + what + " is in the registry but not in the backup");
                break;
            }
            return false;
        }
        return key.differs;
    });
    return found;
}

}  // namespace karvo::compare
