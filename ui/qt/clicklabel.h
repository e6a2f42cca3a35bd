#pragma once

#include "layout.h"

#include <QLabel>
#include <functional>

// A label that works as a button: it reports clicks (press and release on it) and double-clicks,
// and passes the keys pressed while it has the focus to `keyHandler`, which says whether it took
// them; it then shows a frame in its text colour and is a push button to assistive technology.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    ClickLabel(const QString &text, QWidget *parent);

    // As a click on it does.
    void click() { emit clicked(); }

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
