#include "platform/MsgBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>

using namespace karvo::platform;

TEST(MsgBox, RealBoxesMapButtonsIconsAndAnswers) {
    struct Case {
        int style;
        QString press;
        int answer;
        QMessageBox::Icon icon;
        QStringList buttons;
    };
    for (const Case& c : {Case{vbOKOnly, "OK", vbOK, QMessageBox::NoIcon, {"OK"}},
                          Case{vbOKCancel + vbCritical, "Cancel", vbCancel, QMessageBox::Critical, {"Cancel", "OK"}},
                          Case{vbYesNo + vbExclamation, "No", vbNo, QMessageBox::Warning, {"No", "Yes"}},
                          Case{vbYesNo + vbQuestion, "Yes", vbYes, QMessageBox::Question, {"No", "Yes"}},
                          Case{vbOKOnly + vbInformation, "OK", vbOK, QMessageBox::Information, {"OK"}}}) {
        QString title;  // what the box showed
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
        buttons.sort();
        EXPECT_EQ(std::make_tuple(title, icon, buttons), std::make_tuple(QString("Caption"), c.icon, c.buttons)) << c.style;
    }
}
