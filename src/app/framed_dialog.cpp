#include "app/framed_dialog.h"

#include <QEvent>
#include <QPainter>

namespace nx::app {

FramedDialog::FramedDialog(QSize clientSize, QColor frameColour, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), frameColour_(frameColour)
{
    setFixedSize(clientSize);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, creamColour);
    setPalette(p);
    setFont(tahomaFont(19));
}

QFont tahomaFont(int pixels, bool bold)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void FramedDialog::centreOver(const QWidget* owner)
{
    if (!owner)
        return;
    const QRect area = owner->frameGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void FramedDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    QPen pen(frameColour_, 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void FramedDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}

}  // namespace nx::app
