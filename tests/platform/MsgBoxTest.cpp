#include "platform/MsgBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace karvo::platform;

TEST(MsgBox, RecordingBoxesAnswerFromTheQueueThenWithTheFirstButton) {
    RecordingMessageBoxes boxes;
    boxes.answers = {vbNo, vbCancel};
    EXPECT_EQ(MsgBox(nullptr, "Replace File?     ", vbYesNo + vbExclamation, "Replace File?"), vbNo);
    EXPECT_EQ(MsgBox(nullptr, "b", vbOKCancel, "c"), vbCancel);
    EXPECT_EQ(MsgBox(nullptr, "c", vbYesNo, ""), vbYes);
    EXPECT_EQ(MsgBox(nullptr, "d", vbOKCancel, ""), vbOK);
    ASSERT_EQ(boxes.shown.size(), 4u);
    EXPECT_EQ(boxes.shown[0].text, "Replace File?     ");
    EXPECT_EQ(boxes.shown[0].style, vbYesNo + vbExclamation);
    EXPECT_EQ(boxes.shown[0].caption, "Replace File?");
}

TEST(MsgBox, RealBoxesMapButtonsIconsAndAnswers) {
    struct Case {
        int style;
        QString press;
        int answer;
        QMessageBox::Icon icon;
        QStringList buttons;
    };
    for (const Case& c : {Case{vbOKOnly, "OK", vbOK, QMessageBox::NoIcon, {"OK"}},
                          Case{vbOKCancel + vbCritical, "Cancel", vbCancel, QMessageBox::Critical, {"OK", "Cancel"}},
                          Case{vbYesNo + vbExclamation, "No", vbNo, QMessageBox::Warning, {"Yes", "No"}},
                          Case{vbYesNo + vbQuestion, "Yes", vbYes, QMessageBox::Question, {"Yes", "No"}},
                          Case{vbOKOnly + vbInformation, "OK", vbOK, QMessageBox::Information, {"OK"}}}) {
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box) << "no box shown";
            title = box->windowTitle();
            icon = box->icon();
            QAbstractButton* target = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                buttons << b->text().remove('&');
                target = buttons.back() == c.press ? b : target;
            }
            if (target)
                target->click();
            else
                box->close();
        });
        EXPECT_EQ(MsgBox(nullptr, "Text     ", c.style, "Caption"), c.answer) << c.style;
        EXPECT_EQ(title, "Caption");
        EXPECT_EQ(icon, c.icon) << c.style;
        buttons.sort();
        QStringList wanted = c.buttons;
        wanted.sort();
        EXPECT_EQ(buttons, wanted) << c.style;
    }
}
