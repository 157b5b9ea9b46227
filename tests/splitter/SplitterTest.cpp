// The pane splitter, driven as its owner drives it and with the real mouse.
#include "splitter/cSplitter.h"

#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace karvo::splitter;

namespace {

Qt::CursorShape screenCursor() {
    const QCursor* c = QGuiApplication::overrideCursor();
    return c ? c->shape() : Qt::ArrowCursor;
}

bool atRest(const QFrame* bar) {
    return bar->frameShape() == QFrame::NoFrame &&
           bar->palette().color(QPalette::Window) == bar->palette().color(QPalette::Button);
}

// Nothing holds the mouse or changes its pointer.
bool letGo() { return QWidget::mouseGrabber() == nullptr && QGuiApplication::overrideCursor() == nullptr; }

// A 1000 by 600 window with a standing bar at x 500, wired as an owner would: the bar's mouse-down
// and the window's move and up go to the splitter along the x axis.
class Window : public QWidget {
public:
    QFrame* bar = new QFrame(this);
    cSplitter split;
    bool refuse = false;
    int completed = 0;

    Window() {
        resize(1000, 600);
        bar->setGeometry(500, 0, 6, 600);
        split.Initialise(bar, this);
        split.setOrientation(kVertical);
        QObject::connect(&split, &cSplitter::DoSplit, [this](bool& b) { b = !refuse; });
        QObject::connect(&split, &cSplitter::SplitComplete, [this] { ++completed; });
        bar->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o != bar || e->type() != QEvent::MouseButtonPress)
            return QWidget::eventFilter(o, e);
        split.MouseDown(static_cast<float>(static_cast<QMouseEvent*>(e)->position().x()));
        return true;
    }
    void mouseMoveEvent(QMouseEvent* e) override { split.MouseMove(static_cast<float>(e->position().x())); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        float pos = static_cast<float>(e->position().x());
        split.MouseUp(pos);
    }
};

}  // namespace

TEST(Splitter, OnlyAnAcceptedMouseDownStartsADragWhoseBarStaysInsideTheBorder) {
    Window w;
    w.show();
    for (bool refused : {false, true}) {
        w.refuse = refused;  // an owner that refuses the drag: no capture, no colour change
        if (refused)
            w.split.MouseDown(2);
        EXPECT_FALSE(w.split.isSplitting());
        EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
        EXPECT_TRUE(atRest(w.bar));
        EXPECT_EQ(w.bar->width(), 6);
        w.split.MouseMove(300);
        float pos = 300;
        EXPECT_FALSE(w.split.MouseUp(pos));
        EXPECT_EQ(pos, 300);
        EXPECT_EQ(w.bar->x(), 500);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
    w.refuse = false;
    w.split.setBorderSize(100);
    w.split.MouseDown(3);
    EXPECT_TRUE(w.split.isSplitting());
    EXPECT_EQ(QWidget::mouseGrabber(), &w);
    EXPECT_EQ(w.bar->frameShape(), QFrame::Box);
    EXPECT_EQ(w.bar->palette().color(QPalette::Window), w.bar->palette().color(QPalette::Dark));
    EXPECT_EQ(w.bar->width(), 4);
    // The border is exclusive at both ends.
    const std::tuple<float, int, Qt::CursorShape> moves[] = {
        {100, 500, Qt::ForbiddenCursor}, {900, 500, Qt::ForbiddenCursor}, {101, 101, Qt::SizeHorCursor}};
    for (const auto& [to, x, cursor] : moves) {
        w.split.MouseMove(to);
        EXPECT_EQ(w.bar->x(), x) << to;  // the grip's offset is not taken off while moving
        EXPECT_EQ(screenCursor(), cursor) << to;
    }
    float pos = 400;
    EXPECT_TRUE(w.split.MouseUp(pos));
    EXPECT_EQ(pos, 397);
    EXPECT_TRUE(atRest(w.bar));
    EXPECT_EQ(w.bar->width(), 4);  // stays thin after the drag
    EXPECT_TRUE(letGo());

    // Released, the bar stays inside the border, less the grip's offset rounded half to even.
    const std::tuple<float, float, float> cases[] = {  // grip, release, where the bar goes
        {30, 50, 70}, {30, 2000, 870}, {30.5f, 500, 470}, {31.5f, 500, 468}};
    for (const auto& [grip, release, placed] : cases) {
        w.split.MouseDown(grip);
        pos = release;
        EXPECT_TRUE(w.split.MouseUp(pos));
        EXPECT_EQ(pos, placed) << grip << " " << release;
        EXPECT_EQ(w.bar->x(), static_cast<int>(placed));
    }
    EXPECT_EQ(w.completed, 5);  // refused drags do not count
}

TEST(Splitter, FlatBarsMoveUpAndDown) {
    // Orientation written before Initialise: the bar keeps the west-east cursor until written again.
    QWidget window;
    window.resize(1000, 600);
    auto* bar = new QFrame(&window);
    bar->setGeometry(0, 300, 1000, 6);
    cSplitter split;
    split.setOrientation(kHorizontal);
    split.Initialise(bar, &window);
    EXPECT_EQ(bar->cursor().shape(), Qt::SizeHorCursor);
    split.setOrientation(kHorizontal);
    EXPECT_EQ(bar->cursor().shape(), Qt::SizeVerCursor);

    split.setBorderSize(50);
    split.MouseDown(2);
    EXPECT_EQ(bar->size(), QSize(1000, 4));  // a flat bar keeps its length
    split.MouseMove(700);  // beyond the inner height less the border
    EXPECT_EQ(bar->pos(), QPoint(0, 300));
    EXPECT_EQ(screenCursor(), Qt::ForbiddenCursor);
    split.MouseMove(200);
    EXPECT_EQ(bar->pos(), QPoint(0, 200));
    EXPECT_EQ(screenCursor(), Qt::SizeVerCursor);
    float pos = 580;
    EXPECT_TRUE(split.MouseUp(pos));
    EXPECT_EQ(pos, 548);
    EXPECT_EQ(bar->y(), 548);
}

TEST(Splitter, DraggedWithTheMouseAndLetGoWhenDestroyedMidDrag) {
    auto w = std::make_unique<Window>();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->split.setBorderSize(20);
    QTest::mousePress(w->bar, Qt::LeftButton, {}, QPoint(2, 100));
    EXPECT_EQ(QWidget::mouseGrabber(), w.get());
    // While captured, the window gets the mouse in its own coordinates.
    QTest::mouseMove(w.get(), QPoint(300, 100));
    EXPECT_EQ(w->bar->x(), 300);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(990, 100));
    EXPECT_EQ(w->bar->x(), 978);
    EXPECT_EQ(w->completed, 1);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    w->split.MouseDown(1);
    w->split.MouseMove(-5);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    w.reset();
    EXPECT_TRUE(letGo());
}
