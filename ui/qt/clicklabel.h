#pragma once

#include "layout.h"

#include <QLabel>
#include <functional>

// A label that reports clicks (press and release on it) and double-clicks, and passes the keys
// pressed while it has the focus to `keyHandler`, which says whether it took them. With the
// focus it shows a frame in its own text colour.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    std::function<bool(layout::Key)> keyHandler;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_pressed = false;
};
