// The favourites row's two 32 x 32 arrow pictures, drawn in code.
#pragma once

#include <QLabel>
#include <QPixmap>

namespace karvo::ui {

QPixmap downArrowPicture();
QPixmap upArrowPicture();

// A picture that reports a mouse click.
class ClickablePicture : public QLabel {
    Q_OBJECT
public:
    explicit ClickablePicture(QWidget* parent = nullptr) : QLabel(parent) {}

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace karvo::ui
