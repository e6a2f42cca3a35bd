#include "qtsettingswindow.h"

#include "clicklabel.h"
#include "layout.h"
#include "uistyle.h"
#include "windowchrome.h"
#include "zel_vanto_settings.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <vector>

namespace {

std::size_t index(int n)
{
    return static_cast<std::size_t>(std::clamp(n, 1, 10) - 1);
}

QString qText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QCheckBox *makeCheckBox(const layout::Control &design, int designValue, QWidget *parent)
{
    auto *box = new QCheckBox(QString::fromStdString(design.caption), parent);
    uistyle::applyDesign(box, design);
    box->setChecked(designValue == 1);
    uistyle::fitCaption(box);
    return box;
}

} // namespace

QtSettingsWindow::QtSettingsWindow(QWidget *owner)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    namespace design = layout::settingsWindow;
    setObjectName(qText(design::kObjectName));
    setWindowTitle(qText(design::kCaption));
    setWindowModality(Qt::WindowModal);
    setFont(uistyle::designFont(layout::kWindowFont));
    uistyle::paintButtonFace(this);

    for (const layout::Control &label : design::labels()) {
        auto *widget = new ClickLabel(QString::fromStdString(label.caption), this);
        uistyle::applyDesign(widget, label);
        if (label.name == design::creator().name)
            m_creator = widget;
    }
    for (int n = 1; n <= 10; ++n) {
        QCheckBox *box = makeCheckBox(design::enableBox(n), design::designValue(n), this);
        m_enableWidgets[index(n)] = box;
        m_enableBoxes[index(n)] = std::make_unique<QtCheckBox>(box);
        connect(box, &QCheckBox::clicked, this, [this, n] {
            if (m_behaviour)
                m_behaviour->ENABLE_PW_Click(n);
        });
    }
    QCheckBox *onTop =
        makeCheckBox(design::alwaysOnTopBox(), design::kAlwaysOnTopDesignValue, this);
    m_alwaysOnTop = std::make_unique<QtCheckBox>(onTop);
    connect(onTop, &QCheckBox::clicked, this, [this] {
        if (m_behaviour)
            m_behaviour->AlwaysOnTopTimer_TICKBOX_Click();
    });

    auto *ok = new QPushButton(QString::fromStdString(design::okButton().caption), this);
    uistyle::applyDesign(ok, design::okButton());
    // Neither Enter nor Escape is bound: OK is no default button and there is no cancel.
    ok->setAutoDefault(false);
    ok->setDefault(false);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (m_behaviour)
            m_behaviour->OK_BUTTON_Click();
    });
    connect(m_creator, &ClickLabel::doubleClicked, this, [this] {
        if (m_behaviour)
            m_behaviour->ZEL_VANTO_CREATOR_DblClick();
    });

    // Tab order: the enable boxes, OK, then "Always On Top" (the labels take no focus).
    std::vector<QWidget *> order(m_enableWidgets.begin(), m_enableWidgets.end());
    order.push_back(ok);
    order.push_back(onTop);
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

QtSettingsWindow::~QtSettingsWindow() = default;

std::vector<ScreenArea> QtSettingsWindow::screens() const
{
    return uistyle::availableScreens();
}

void QtSettingsWindow::place(PixelPoint outerCorner, PixelSize clientSize)
{
    move(outerCorner.x, outerCorner.y);
    setFixedSize(clientSize.width, clientSize.height);
    m_placedCorner = QPoint(outerCorner.x, outerCorner.y);
    m_placedSize = QSize(clientSize.width, clientSize.height);
}

PixelPoint QtSettingsWindow::outerCorner() const
{
    const QPoint corner = uistyle::unlessMoved(frameGeometry().topLeft(), m_placedCorner, *this);
    return {corner.x(), corner.y()};
}

PixelSize QtSettingsWindow::clientSize() const
{
    const QSize client = uistyle::unlessResized(size(), m_placedSize, *this);
    return {client.width(), client.height()};
}

CheckBox &QtSettingsWindow::enableBox(int n)
{
    return *m_enableBoxes[index(n)];
}

void QtSettingsWindow::setCreatorCaption(std::string_view caption)
{
    m_creator->setText(qText(caption));
}

bool QtSettingsWindow::knowsPlace() const
{
    return uistyle::platformReportsPlaces();
}

void QtSettingsWindow::focus(std::string_view control)
{
    uistyle::focusChild(*this, control);
}

std::string QtSettingsWindow::focused() const
{
    return uistyle::focusedChild(*this);
}

void QtSettingsWindow::runModal(ZEL_VANTO_SETTINGS &behaviour)
{
    m_behaviour = &behaviour;
    exec();
    m_behaviour = nullptr;
}

void QtSettingsWindow::closeWindow()
{
    close();
}

void QtSettingsWindow::done(int result)
{
    if (m_behaviour)
        m_behaviour->Form_Unload();
    QDialog::done(result);
}

void QtSettingsWindow::showEvent(QShowEvent *event)
{
    platform::keepOffTaskbar(windowHandle() ? windowHandle()->winId() : 0);
    QDialog::showEvent(event);
}

void QtSettingsWindow::keyPressEvent(QKeyEvent *event)
{
    // QDialog would close on Escape and press a default button on Enter; this window binds
    // neither.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
