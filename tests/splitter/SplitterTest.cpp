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

// A window with a standing bar between two imaginary panes, and the owner's wiring: the bar's
// mouse-down and the window's move and up go to the splitter along the x axis (y for a flat bar).
class Window : public QWidget {
public:
    QFrame* bar = new QFrame(this);
    cSplitter split;
    bool refuse = false;
    int completed = 0;
    std::vector<float> handedBack;

    explicit Window(std::int32_t orientation = kVertical) {
        resize(1000, 600);
        if (orientation == kHorizontal)
            bar->setGeometry(0, 300, 1000, 6);
        else
            bar->setGeometry(500, 0, 6, 600);
        split.Initialise(bar, this);
        split.setOrientation(orientation);
        QObject::connect(&split, &cSplitter::DoSplit, [this](bool& b) {
            if (refuse)
                b = false;
        });
        QObject::connect(&split, &cSplitter::SplitComplete, [this] { ++completed; });
        bar->installEventFilter(this);
    }

    float axis(const QMouseEvent* e) const {
        return static_cast<float>(split.Orientation() == kHorizontal ? e->position().y() : e->position().x());
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == bar && e->type() == QEvent::MouseButtonPress) {
            split.MouseDown(axis(static_cast<QMouseEvent*>(e)));
            return true;
        }
        return QWidget::eventFilter(o, e);
    }
    void mouseMoveEvent(QMouseEvent* e) override { split.MouseMove(axis(e)); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        float pos = axis(e);
        if (split.MouseUp(pos))
            handedBack.push_back(pos);
    }
};

bool atRest(const QFrame* bar) {
    return bar->frameShape() == QFrame::NoFrame &&
           bar->palette().color(QPalette::Window) == bar->palette().color(QPalette::Button);
}

}  // namespace

TEST(Splitter, NothingHappensWithoutAnAcceptedMouseDown) {
    Window w;
    w.split.MouseMove(300);
    float pos = 300;
    EXPECT_FALSE(w.split.MouseUp(pos));
    EXPECT_EQ(pos, 300);
    EXPECT_EQ(w.bar->x(), 500);
    EXPECT_EQ(w.completed, 0);

    // An owner that refuses the drag: no capture, no colour change, no movement.
    w.refuse = true;
    w.split.MouseDown(2);
    EXPECT_FALSE(w.split.isSplitting());
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_TRUE(atRest(w.bar));
    EXPECT_EQ(w.bar->width(), 6);
    w.split.MouseMove(300);
    EXPECT_EQ(w.bar->x(), 500);
    EXPECT_FALSE(w.split.MouseUp(pos));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Splitter, DragFeedbackAndTheBorder) {
    Window w;
    w.show();
    w.split.setBorderSize(100);
    w.split.MouseDown(3);
    EXPECT_TRUE(w.split.isSplitting());
    EXPECT_EQ(QWidget::mouseGrabber(), &w);
    EXPECT_EQ(w.bar->frameShape(), QFrame::Box);
    EXPECT_EQ(w.bar->palette().color(QPalette::Window), w.bar->palette().color(QPalette::Dark));
    EXPECT_EQ(w.bar->width(), 4);

    // The border is exclusive at both ends.
    w.split.MouseMove(100);
    EXPECT_EQ(w.bar->x(), 500);
    EXPECT_EQ(screenCursor(), Qt::ForbiddenCursor);
    w.split.MouseMove(900);
    EXPECT_EQ(w.bar->x(), 500);
    EXPECT_EQ(screenCursor(), Qt::ForbiddenCursor);
    w.split.MouseMove(101);
    EXPECT_EQ(w.bar->x(), 101);  // the offset is not taken off while moving
    EXPECT_EQ(screenCursor(), Qt::SizeHorCursor);

    float pos = 400;
    EXPECT_TRUE(w.split.MouseUp(pos));
    EXPECT_EQ(pos, 397);
    EXPECT_EQ(w.bar->x(), 397);
    EXPECT_TRUE(atRest(w.bar));
    EXPECT_EQ(w.bar->width(), 4);  // stays thin after the drag
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(w.completed, 1);
}

TEST(Splitter, MouseUpKeepsTheBarInsideAndTakesOffTheOffset) {
    Window w;
    w.split.setBorderSize(100);
    w.split.MouseDown(30);
    float pos = 50;
    EXPECT_TRUE(w.split.MouseUp(pos));
    EXPECT_EQ(pos, 70);
    EXPECT_EQ(w.bar->x(), 70);

    w.split.MouseDown(30);
    pos = 2000;
    EXPECT_TRUE(w.split.MouseUp(pos));
    EXPECT_EQ(pos, 870);
    EXPECT_EQ(w.bar->x(), 870);
    EXPECT_EQ(w.completed, 2);

    // The offset is rounded with halves to even.
    w.split.MouseDown(30.5f);
    pos = 500;
    w.split.MouseUp(pos);
    EXPECT_EQ(pos, 470);
    w.split.MouseDown(31.5f);
    pos = 500;
    w.split.MouseUp(pos);
    EXPECT_EQ(pos, 468);
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
    EXPECT_EQ(bar->height(), 4);
    EXPECT_EQ(bar->width(), 1000);  // a flat bar keeps its length
    split.MouseMove(700);  // beyond the inner height less the border
    EXPECT_EQ(bar->y(), 300);
    EXPECT_EQ(screenCursor(), Qt::ForbiddenCursor);
    split.MouseMove(200);
    EXPECT_EQ(bar->y(), 200);
    EXPECT_EQ(bar->x(), 0);
    EXPECT_EQ(screenCursor(), Qt::SizeVerCursor);
    float pos = 580;
    EXPECT_TRUE(split.MouseUp(pos));
    EXPECT_EQ(pos, 548);
    EXPECT_EQ(bar->y(), 548);
}

TEST(Splitter, DraggedWithTheMouse) {
    Window w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.split.setBorderSize(20);
    QTest::mousePress(w.bar, Qt::LeftButton, {}, QPoint(2, 100));
    EXPECT_EQ(QWidget::mouseGrabber(), &w);
    // While captured, the window gets the mouse in its own coordinates.
    QTest::mouseMove(&w, QPoint(300, 100));
    EXPECT_EQ(w.bar->x(), 300);
    QTest::mouseMove(&w, QPoint(990, 100));
    EXPECT_EQ(w.bar->x(), 300);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(990, 100));
    ASSERT_EQ(w.handedBack.size(), 1u);
    EXPECT_EQ(w.handedBack[0], 978);
    EXPECT_EQ(w.bar->x(), 978);
    EXPECT_EQ(w.completed, 1);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST(Splitter, DestroyedMidDragLetsGoOfTheMouse) {
    auto w = std::make_unique<Window>();
    w->split.MouseDown(1);
    w->split.MouseMove(-5);
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    w.reset();
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}
