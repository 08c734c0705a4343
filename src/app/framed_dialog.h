#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

namespace nx::app {

// The program's small windows: no border or title bar, a cream client area and a
// frame line of their own colour.
class FramedDialog : public QDialog {
public:
    FramedDialog(QSize clientSize, QColor frameColour, QWidget* parent = nullptr);

    // Places the window centred over `owner` (the main window).
    void centreOver(const QWidget* owner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Runs at construction and on every language switch.
    virtual void retranslateUi() = 0;

private:
    QColor frameColour_;
};

// The program's typeface (a desktop without Tahoma gets Qt's nearest match).
QFont tahomaFont(int pixels, bool bold = false);

// The cream of the button bars and the small windows.
inline const QColor creamColour{255, 224, 183};
// The dark brown of the top band's upper edge and the frames.
inline const QColor brownColour{123, 85, 72};

}  // namespace nx::app
