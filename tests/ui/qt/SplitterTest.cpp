// The pane splitter's Qt side: the owner's signals, the mouse capture and the bar as the logic tells
// it (the drag's arithmetic is the logic's, tested beside it).
#include "ui/qt/cSplitter.h"

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

TEST(SplitterWindow, DraggedWithTheMouseAndLetGoWhenDestroyedMidDrag) {
    auto w = std::make_unique<Window>();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    w->refuse = true;  // the owner's answer is heard
    QTest::mousePress(w->bar, Qt::LeftButton, {}, QPoint(2, 100));
    EXPECT_FALSE(w->split.isSplitting());
    QTest::mouseRelease(w->bar, Qt::LeftButton, {}, QPoint(2, 100));
    w->refuse = false;

    w->split.setBorderSize(20);
    QTest::mousePress(w->bar, Qt::LeftButton, {}, QPoint(2, 100));
    EXPECT_EQ(QWidget::mouseGrabber(), w.get());
    EXPECT_EQ(w->bar->frameShape(), QFrame::Box);
    EXPECT_EQ(w->bar->palette().color(QPalette::Window), w->bar->palette().color(QPalette::Dark));
    EXPECT_EQ(w->bar->width(), 4);
    // While captured, the window gets the mouse in its own coordinates.
    QTest::mouseMove(w.get(), QPoint(300, 100));
    EXPECT_EQ(w->bar->x(), 300);
    EXPECT_EQ(screenCursor(), Qt::SizeHorCursor);
    QTest::mouseRelease(w.get(), Qt::LeftButton, {}, QPoint(990, 100));
    EXPECT_EQ(w->bar->x(), 978);
    EXPECT_TRUE(atRest(w->bar));
    EXPECT_EQ(w->completed, 1);
    EXPECT_TRUE(letGo());

    w->split.MouseDown(1);
    w->split.MouseMove(-5);
    EXPECT_EQ(screenCursor(), Qt::ForbiddenCursor);
    w.reset();
    EXPECT_TRUE(letGo());
}

TEST(SplitterWindow, FlatBarsMoveUpAndDown) {
    QWidget window;
    window.resize(1000, 600);
    auto* bar = new QFrame(&window);
    bar->setGeometry(0, 300, 1000, 6);
    cSplitter split;
    split.Initialise(bar, &window);
    split.setOrientation(kHorizontal);
    EXPECT_EQ(bar->cursor().shape(), Qt::SizeVerCursor);
    split.MouseDown(2);
    EXPECT_EQ(bar->size(), QSize(1000, 4));  // a flat bar keeps its length
    split.MouseMove(200);
    EXPECT_EQ(bar->pos(), QPoint(0, 200));
    EXPECT_EQ(screenCursor(), Qt::SizeVerCursor);
    float pos = 700;
    EXPECT_TRUE(split.MouseUp(pos));
    EXPECT_EQ(bar->y(), 598);  // the window's height less the grip
}
