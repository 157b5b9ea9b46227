// The pane splitter's logic, driven as its owner drives it, against a bar that records what it is told.
#include "splitter/Splitter.h"

#include "RecordingDesktop.h"

#include <cstdio>
#include <string>
#include <utility>

#include <gtest/gtest.h>

using namespace karvo::splitter;
using karvo::test::Lines;
using namespace std::string_literals;

namespace {

// A 1000 by 600 window.
class RecordingBar : public SplitterView {
public:
    Lines lines;
    bool allow = true;

    bool allowSplit() override { return lines.push_back("may split?"), allow; }
    void splitComplete() override { lines.push_back("complete"); }
    double innerSize(Axis axis) override { return axis == Axis::Y ? 600 : 1000; }
    void captureMouse(bool capture) override { lines.push_back(capture ? "capture" : "release"); }
    void setScreenCursor(int cursor) override { lines.push_back("screen cursor " + std::to_string(cursor)); }
    void showBar() override { lines.push_back("show"); }
    void setBarCursor(int cursor) override { lines.push_back("cursor " + std::to_string(cursor)); }
    void setBarBorder(int style) override { lines.push_back("border " + std::to_string(style)); }
    void setBarColour(std::uint32_t colour) override {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(colour));
        lines.push_back("colour "s + hex);
    }
    void setBarInFront(bool front) override { lines.push_back(front ? "front" : "back"); }
    void setBarThickness(Axis axis, int pixels) override { lines.push_back(name(axis) + " thickness " + std::to_string(pixels)); }
    void moveBar(Axis axis, int position) override { lines.push_back(name(axis) + " at " + std::to_string(position)); }

private:
    static std::string name(Axis axis) { return axis == Axis::Y ? "y" : "x"; }
};

enum class Op { Orientation, Border, Initialise, Refuse, Down, Move, Up, Cancel };

// What an accepted mouse-down does, along the axis the bar moves on.
Lines grab(const std::string& axis) {
    return {"may split?", "colour 80000010", "front", "border 1", axis + " thickness 4", "capture"};
}
// What a mouse-up does when the bar ends at `at`; the last line is what MouseUp hands back.
Lines drop(const std::string& axis, int at) {
    const std::string pos = std::to_string(at);
    return {"release", "colour 8000000F", "border 0", axis + " at " + pos, "back", "screen cursor 0", "complete",
            "up true " + pos};
}

}  // namespace

TEST(SplitterLogic, ADragStartsOnlyWhenAcceptedAndTheBarStaysInsideTheBorder) {
    struct Step {
        Op op;
        float arg;
        Lines expected;  // after Up, a line "up <result> <position handed back>"
    };
    const Step steps[] = {
        {Op::Orientation, 1, {}},  // no bar yet
        {Op::Initialise, 0, {"border 0", "back", "cursor 9", "show"}},  // west-east until written again
        {Op::Orientation, 1, {"cursor 7"}},
        {Op::Orientation, 2, {"cursor 9"}},
        // Without a drag, moves and releases change nothing.
        {Op::Move, 300, {}},
        {Op::Up, 300, {"up false 300"}},
        // An owner that refuses the drag: no capture, no colour change, later moves do nothing.
        {Op::Refuse, 0, {}},
        {Op::Down, 2, {"may split?"}},
        {Op::Move, 300, {}},
        {Op::Up, 300, {"up false 300"}},
        {Op::Border, 100, {}},
        {Op::Down, 3, grab("x")},
        // The border is exclusive at both ends; the grip's offset is not taken off while moving.
        {Op::Move, 100, {"screen cursor 12"}},
        {Op::Move, 900, {"screen cursor 12"}},
        {Op::Move, 101, {"screen cursor 9", "x at 101"}},
        {Op::Up, 400, drop("x", 397)},
        // Released, the bar stays inside the border, less the grip's offset rounded half to even.
        {Op::Down, 30, grab("x")},
        {Op::Up, 50, drop("x", 70)},
        {Op::Down, 30, grab("x")},
        {Op::Up, 2000, drop("x", 870)},
        {Op::Down, 30.5f, grab("x")},
        {Op::Up, 500, drop("x", 470)},
        {Op::Down, 31.5f, grab("x")},
        {Op::Up, 500, drop("x", 468)},
        // A flat bar moves up and down within the window's height.
        {Op::Orientation, 1, {"cursor 7"}},
        {Op::Border, 50, {}},
        {Op::Down, 2, grab("y")},
        {Op::Move, 700, {"screen cursor 12"}},
        {Op::Move, 200, {"screen cursor 7", "y at 200"}},
        {Op::Up, 580, drop("y", 548)},
        // A drag cut short lets the mouse and the screen's cursor go.
        {Op::Down, 1, grab("y")},
        {Op::Move, -5, {"screen cursor 12"}},
        {Op::Cancel, 0, {"release", "screen cursor 0"}},
        {Op::Move, 200, {}},
        {Op::Cancel, 0, {"screen cursor 0"}},
    };
    RecordingBar bar;
    Splitter split(bar);
    int row = 0;
    for (const Step& step : steps) {
        float pos = step.arg;
        switch (step.op) {
        case Op::Orientation: split.setOrientation(static_cast<std::int32_t>(step.arg)); break;
        case Op::Border: split.setBorderSize(static_cast<std::int32_t>(step.arg)); break;
        case Op::Initialise: split.initialise(); break;
        case Op::Refuse: bar.allow = false; break;
        case Op::Down: split.mouseDown(pos); bar.allow = true; break;
        case Op::Move: split.mouseMove(pos); break;
        case Op::Up: {
            const bool ended = split.mouseUp(pos);
            char handed[32];
            std::snprintf(handed, sizeof handed, "up %s %g", ended ? "true" : "false", static_cast<double>(pos));
            bar.lines.push_back(handed);
            break;
        }
        case Op::Cancel: split.cancel(); break;
        }
        EXPECT_EQ(std::exchange(bar.lines, {}), step.expected) << "step " << row;
        ++row;
    }
}
