#pragma once

#include "controls.h"
#include "views.h"

class QCheckBox;
class QLineEdit;
class QTimer;

// The core's control interfaces over Qt widgets; each adapter belongs to the window that owns
// the widget.

class QtNameBox final : public NameBox
{
public:
    explicit QtNameBox(QLineEdit *box) : m_box(box) {}
    std::string text() const override;
    void setText(const std::string &text) override;
    void setBackground(Rgb colour) override;
    void setTextColour(Rgb colour) override;
    void setVisible(bool visible) override;
    void setDescription(const std::string &description) override;
    void setToolTip(const std::string &toolTip) override;
    bool hasFocus() const override;
    void announce(const std::string &text) override;

private:
    QLineEdit *m_box;
};

class QtTimer final : public Timer
{
public:
    explicit QtTimer(QTimer *timer) : m_timer(timer) {}
    void setInterval(int milliseconds) override;
    void start() override;
    void stop() override;
    bool isRunning() const override;

    QTimer *get() const { return m_timer; }

private:
    QTimer *m_timer;
};

class QtCheckBox final : public CheckBox
{
public:
    explicit QtCheckBox(QCheckBox *box) : m_box(box) {}
    bool isChecked() const override;
    void setChecked(bool checked) override;

private:
    QCheckBox *m_box;
};
