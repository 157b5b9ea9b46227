// A main window without a toolkit for the logic's tests: texts are kept, every other order becomes a
// line (into the desktop's lines, so one list shows the order of everything), and the tree is
// mirrored by node id so a test can see what a control would show.
#pragma once

#include "app/MainWindow.h"

#include "RecordingDesktop.h"
#include "registry/RegistryService.h"

#include <map>
#include <string>

#include <unistd.h>

namespace karvo::test {

// The keys the tests make, in a key of this run's own: on Windows that is the system's registry,
// which other suites use at the same time, so the area goes before and after, and only it.
inline const std::string kAreaUnderUser = "Software\\Karvo Tests\\app-" + std::to_string(::getpid());
inline const std::string kArea = "HKEY_CURRENT_USER\\" + kAreaUnderUser;
inline void dropArea([[maybe_unused]] reg::RegistryService& registry) {
#ifdef _WIN32
    registry.DeleteTree(reg::kHkeyCurrentUser, kAreaUnderUser.c_str());
    registry.RegDeleteKeyA(reg::kHkeyCurrentUser, "Software\\Karvo Tests");  // only when no other run's key is left
#endif
}

class RecordingWindow : public app::MainView, public tree::TreeView {
public:
    struct Shown {
        std::string text;
        tree::NodeId parent = tree::kNoNode;
        tree::Image image = tree::Image::ClosedFolder, selected = tree::Image::None;
        bool read = false;
    };
    Lines& lines;
    std::map<std::string, std::string, std::less<>> texts;
    std::map<tree::NodeId, Shown> nodes;
    std::vector<std::string> backups, favourites;
    int busy = 0;
    std::vector<compare::Comparison> comparisons;

    explicit RecordingWindow(Lines& into) : lines(into) {
        for (const app::Control& c : app::controls())
            texts[c.name] = c.text;
    }
    std::string path(tree::NodeId id) const {
        const Shown& n = nodes.at(id);
        return n.parent == tree::kNoNode ? n.text : path(n.parent) + "\\" + n.text;
    }

    std::string text(std::string_view control) const override { return texts.find(control)->second; }
    void setText(std::string_view control, const std::string& text) override { texts.find(control)->second = text; }
    void showStatus(app::Status mode) override { say(mode == app::Status::Message ? "status message" : "status key"); }
    void focus(std::string_view control) override { say("focus " + std::string(control)); }
    void selectAll(std::string_view control) override { say("select all " + std::string(control)); }
    void setBackups(std::span<const std::string> names, int chosen) override {
        backups.assign(names.begin(), names.end());
        say("backups " + joined(backups) + (chosen >= 0 ? " [" + backups[chosen] + "]" : ""));
    }
    void setFavourites(std::span<const std::string> entries) override {
        favourites.assign(entries.begin(), entries.end());
        say("favourites " + joined(favourites));
    }
    void chooseFavourite(int index) override { texts["Combo1"] = favourites.at(index); }
    void setBusy(bool on) override { busy += on ? 1 : -1; }
    void letEventsRun() override {}
    void showWindow() override { say("show"); }
    void hideWindow() override { say("hide"); }
    void closeWindow() override { say("close"); }
    void openWindow(std::string_view name) override { say("window " + std::string(name)); }
    void closeOtherWindows() override { say("close others"); }
    void openComparison(const std::string& backupName, compare::Comparison c) override {
        say("comparison " + backupName);
        comparisons.push_back(std::move(c));
    }
    void enableMenu(std::string_view item, bool enabled) override {
        say(std::string(enabled ? "enable " : "grey ") + std::string(item));
    }
    void editorFinished(bool ok) override { say(ok ? "finished ok" : "finished failed"); }

    void addNodes(tree::NodeId parent, std::span<const tree::NodeId> ids, std::span<const std::string> t) override {
        for (std::size_t i = 0; i < ids.size(); ++i)
            nodes[ids[i]] = Shown{t[i], parent};
        if (parent != tree::kNoNode)
            say("add " + std::to_string(ids.size()) + " under " + path(parent));
    }
    void removeChildren(tree::NodeId node) override {
        say("remove under " + path(node));
        std::vector<tree::NodeId> gone;
        for (const auto& n : nodes)
            if (below(n.first, node))
                gone.push_back(n.first);
        for (tree::NodeId id : gone)
            nodes.erase(id);
    }
    void moveToEnd(tree::NodeId root) override { say("to end " + path(root)); }
    void setImages(tree::NodeId node, tree::Image image, tree::Image selected) override {
        nodes.at(node).image = image;
        nodes.at(node).selected = selected;
    }
    void setRead(tree::NodeId node, bool read) override { nodes.at(node).read = read; }
    void setExpanded(tree::NodeId node, bool expanded) override { say((expanded ? "open " : "close ") + path(node)); }
    void select(tree::NodeId node) override { say("select " + path(node)); }
    void scrollTo(tree::NodeId node) override { say("scroll to " + path(node)); }

private:
    void say(std::string line) { lines.push_back(std::move(line)); }
    bool below(tree::NodeId id, tree::NodeId ancestor) const {
        for (tree::NodeId at = nodes.at(id).parent; at != tree::kNoNode; at = nodes.at(at).parent)
            if (at == ancestor)
                return true;
        return false;
    }
    static std::string joined(const std::vector<std::string>& v) {
        std::string s;
        for (const auto& e : v)
            s += (s.empty() ? "" : "|") + e;
        return s;
    }
};

}  // namespace karvo::test
