#pragma once

#include <QLabel>

// A label that works as a button: it reports clicks (press and release on it) and double-clicks,
// and, when it takes the keyboard focus, Space and Enter as clicks; it then shows a frame in its
// text colour and is a push button to assistive technology.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    ClickLabel(const QString &text, QWidget *parent);

    // As a click on it does.
    void click() { emit clicked(); }

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
