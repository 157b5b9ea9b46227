#include "ui/qt/MsgBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>

using namespace karvo::platform;

TEST(MsgBox, RealBoxesMapButtonsIconsAndAnswers) {
    // The style, the button pressed, the answer, and the icon and buttons shown.
    for (const auto& [style, press, answer, shownIcon, shownButtons] :
         {std::tuple<int, QString, int, QMessageBox::Icon, QStringList>{vbOKOnly, "OK", vbOK, QMessageBox::NoIcon, {"OK"}},
          {vbOKCancel + vbCritical, "Cancel", vbCancel, QMessageBox::Critical, {"Cancel", "OK"}},
          {vbYesNo + vbExclamation, "No", vbNo, QMessageBox::Warning, {"No", "Yes"}},
          {vbYesNo + vbQuestion, "Yes", vbYes, QMessageBox::Question, {"No", "Yes"}},
          {vbOKOnly + vbInformation, "OK", vbOK, QMessageBox::Information, {"OK"}}}) {
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
                target = buttons.back() == press ? b : target;
            }
            target ? target->click() : void(box->close());
        });
        EXPECT_EQ(MsgBox(nullptr, "Text     ", style, "Caption"), answer) << style;
        buttons.sort();
        EXPECT_EQ(std::make_tuple(title, icon, buttons), std::make_tuple(QString("Caption"), shownIcon, shownButtons)) << style;
    }
}
