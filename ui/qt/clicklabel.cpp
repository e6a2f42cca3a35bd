#include "clicklabel.h"

#include "uistyle.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

ClickLabel::ClickLabel(const QString &text, QWidget *parent) : QLabel(parent)
{
    // Set here, not by QLabel's constructor: an accessible interface made while the label was
    // still a plain QLabel would be a plain label's.
    setText(text);
}

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_pressed = false;
    event->accept();
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void ClickLabel::keyPressEvent(QKeyEvent *event)
{
    const std::optional<layout::Key> key = uistyle::designKey(*event);
    // A key held down acts once.
    if (key && keyHandler && (event->isAutoRepeat() || keyHandler(*key))) {
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // Where the keyboard is: a frame in the text's colour, which stands out from the black strip
    // as the text does.
    QPainter painter(this);
    const int width = layout::kFocusFrameWidth;
    painter.setPen(QPen(palette().color(foregroundRole()), width));
    painter.drawRect(QRectF(rect()).adjusted(width / 2.0, width / 2.0, -width / 2.0, -width / 2.0));
}
