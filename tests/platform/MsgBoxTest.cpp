#include "platform/MsgBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace karvo::platform;

TEST(MsgBox, RecordingBoxesAnswerFromTheQueueThenByStyle) {
    RecordingMessageBoxes boxes;
    boxes.answers = {vbNo, vbCancel};
    EXPECT_EQ(MsgBox(nullptr, "Replace File?     ", vbYesNo + vbExclamation, "Replace File?"), vbNo);
    EXPECT_EQ(MsgBox(nullptr, "b", vbOKCancel, "c"), vbCancel);
    // Queue empty: the first button.
    EXPECT_EQ(MsgBox(nullptr, "c", vbYesNo, ""), vbYes);
    EXPECT_EQ(MsgBox(nullptr, "d", vbOKCancel, ""), vbOK);
    EXPECT_EQ(MsgBox(nullptr, "e", vbOKOnly + vbInformation, ""), vbOK);
    ASSERT_EQ(boxes.shown.size(), 5u);
    EXPECT_EQ(boxes.shown[0].text, "Replace File?     ");
    EXPECT_EQ(boxes.shown[0].style, vbYesNo + vbExclamation);
    EXPECT_EQ(boxes.shown[0].caption, "Replace File?");
}

struct Seen {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

TEST(MsgBox, RealBoxesMapButtonsIconsAndAnswers) {
    struct Case {
        int style;
        QString press;
        int answer;
        QMessageBox::Icon icon;
        int buttons;
    };
    const Case cases[] = {
        {vbOKOnly, "OK", vbOK, QMessageBox::NoIcon, 1},
        {vbOKCancel + vbCritical, "Cancel", vbCancel, QMessageBox::Critical, 2},
        {vbYesNo + vbExclamation, "No", vbNo, QMessageBox::Warning, 2},
        {vbYesNo + vbQuestion, "Yes", vbYes, QMessageBox::Question, 2},
        {vbOKOnly + vbInformation, "OK", vbOK, QMessageBox::Information, 1},
    };
    for (const Case& c : cases) {
        Seen seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                ADD_FAILURE() << "no box shown";
                return;
            }
            seen.title = box->windowTitle();
            seen.icon = box->icon();
            QAbstractButton* target = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                seen.buttons << b->text().remove('&');
                if (b->text().remove('&') == c.press)
                    target = b;
            }
            if (target) {
                target->click();
            } else {
                ADD_FAILURE() << "no button " << c.press.toStdString();
                box->close();
            }
        });
        EXPECT_EQ(MsgBox(nullptr, "Text     ", c.style, "Caption"), c.answer) << c.style;
        EXPECT_EQ(seen.title, "Caption");
        EXPECT_EQ(seen.icon, c.icon) << c.style;
        EXPECT_EQ(seen.buttons.size(), c.buttons) << c.style;
    }
}
