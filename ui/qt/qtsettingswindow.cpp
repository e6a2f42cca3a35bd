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

namespace {

QString qText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QtSettingsWindow::QtSettingsWindow(QWidget *owner)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    namespace design = layout::settingsWindow;
    setObjectName(qText(design::kObjectName));
    setWindowTitle(qText(design::kCaption));
    // No icon of its own, and none inherited from the main window.
    setWindowIcon(QIcon());
    setWindowModality(Qt::WindowModal);
    setFont(uistyle::designFont(layout::kWindowFont));
    uistyle::paintButtonFace(this);

    for (const layout::Control &control : design::window().controls) {
        const QString caption = QString::fromStdString(control.caption);
        switch (control.role) {
        case layout::Role::Label:
        case layout::Role::Title:
        case layout::Role::NameBox:
            uistyle::applyDesign(new ClickLabel(caption, this), control);
            break;
        case layout::Role::Creator:
            m_creator = new ClickLabel(caption, this);
            uistyle::applyDesign(m_creator, control);
            connect(m_creator, &ClickLabel::doubleClicked, this, [this] {
                if (m_behaviour)
                    m_behaviour->ZEL_VANTO_CREATOR_DblClick();
            });
            break;
        case layout::Role::EnableBox:
        case layout::Role::AlwaysOnTop: {
            auto *box = new QCheckBox(caption, this);
            uistyle::applyDesign(box, control);
            box->setChecked(control.designChecked);
            uistyle::fitCaption(box);
            auto adapter = std::make_unique<QtCheckBox>(box);
            if (control.role == layout::Role::EnableBox) {
                const int n = control.slot;
                m_enableBoxes[keys::slotIndex(n)] = std::move(adapter);
                connect(box, &QCheckBox::clicked, this, [this, n] {
                    if (m_behaviour)
                        m_behaviour->ENABLE_PW_Click(n);
                });
            } else {
                m_alwaysOnTop = std::move(adapter);
                connect(box, &QCheckBox::clicked, this, [this] {
                    if (m_behaviour)
                        m_behaviour->AlwaysOnTopTimer_TICKBOX_Click();
                });
            }
            break;
        }
        case layout::Role::Ok: {
            auto *ok = new QPushButton(caption, this);
            uistyle::applyDesign(ok, control);
            // Enter is the window's to bind (it binds nothing): OK is no default button.
            ok->setAutoDefault(false);
            ok->setDefault(false);
            connect(ok, &QPushButton::clicked, this, [this] {
                if (m_behaviour)
                    m_behaviour->OK_BUTTON_Click();
            });
            break;
        }
        }
    }
    uistyle::applyTabOrder(*this, design::window());
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
    return *m_enableBoxes[keys::slotIndex(n)];
}

void QtSettingsWindow::setCreatorCaption(std::string_view caption)
{
    m_creator->setText(qText(caption));
    m_creator->setAccessibleName(qText(caption));
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
    // QDialog would close on Escape and press a default button on Enter.
    const std::optional<layout::Key> key = uistyle::designKey(*event);
    if (key && m_behaviour && m_behaviour->Form_KeyDown(*key)) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
