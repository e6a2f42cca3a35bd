#include "qtcontrols.h"

#include "accessibility.h"
#include "uistyle.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTimer>

std::string QtNameBox::text() const
{
    return m_box->text().toStdString();
}

void QtNameBox::setText(const std::string &text)
{
    m_box->setText(QString::fromStdString(text));
}

namespace {

void setColour(QLineEdit *box, QPalette::ColorRole role, Rgb colour)
{
    QPalette palette = box->palette();
    palette.setColor(role, uistyle::toQColor(colour));
    box->setPalette(palette);
}

} // namespace

void QtNameBox::setBackground(Rgb colour)
{
    setColour(m_box, QPalette::Base, colour);
}

void QtNameBox::setTextColour(Rgb colour)
{
    setColour(m_box, QPalette::Text, colour);
}

void QtNameBox::setDescription(const std::string &description)
{
    m_box->setAccessibleDescription(QString::fromStdString(description));
}

void QtNameBox::setToolTip(const std::string &toolTip)
{
    m_box->setToolTip(QString::fromStdString(toolTip));
}

bool QtNameBox::hasFocus() const
{
    return m_box->hasFocus(); // only while its window is the active one
}

void QtNameBox::announce(const std::string &text)
{
    accessibility::announce(m_box, QString::fromStdString(text));
}

void QtNameBox::setVisible(bool visible)
{
    m_box->setVisible(visible);
}

void QtTimer::setInterval(int milliseconds)
{
    m_timer->setInterval(milliseconds); // an active timer starts afresh
}

void QtTimer::start()
{
    m_timer->start();
}

void QtTimer::stop()
{
    m_timer->stop();
}

bool QtTimer::isRunning() const
{
    return m_timer->isActive();
}

bool QtCheckBox::isChecked() const
{
    return m_box->isChecked();
}

void QtCheckBox::setChecked(bool checked)
{
    m_box->setChecked(checked);
}
