#include "qtmainwindow.h"

#include "accessibility.h"
#include "clicklabel.h"
#include "layout.h"
#include "qtsettingswindow.h"
#include "uistyle.h"
#include "windowchrome.h"
#include "zel_vanto_main.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStyleHints>
#include <QTimer>
#include <QWindow>

namespace {

QString qText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A text cursor that blinks for as long as the window is active repaints its box twice a
// second all day, which costs more than watching ten processes. It stops blinking after ten
// seconds without input, as many desktops do, and blinks again at the next key or click.
class CursorBlinkTimeout final : public QObject
{
public:
    explicit CursorBlinkTimeout(QObject *parent)
        : QObject(parent), m_flashTime(QGuiApplication::styleHints()->cursorFlashTime())
    {
        m_idle.setSingleShot(true);
        m_idle.setInterval(10000);
        connect(&m_idle, &QTimer::timeout, this,
                [] { QGuiApplication::styleHints()->setCursorFlashTime(0); });
        qApp->installEventFilter(this);
        m_idle.start();
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::KeyPress || type == QEvent::MouseButtonPress ||
            type == QEvent::FocusIn) {
            if (QGuiApplication::styleHints()->cursorFlashTime() != m_flashTime)
                QGuiApplication::styleHints()->setCursorFlashTime(m_flashTime);
            m_idle.start();
        }
        return false;
    }

private:
    QTimer m_idle;
    int m_flashTime;
};

} // namespace

QtMainWindow::QtMainWindow()
    : QWidget(nullptr,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_keeperTimer(new QTimer(this)), m_nameSaveTimer(new QTimer(this))
{
    accessibility::install();
    setObjectName(qText(layout::mainWindow::kObjectName));
    setWindowTitle(qText(layout::mainWindow::kCaption));
    Q_INIT_RESOURCE(zel_vanto); // a static library's resources are not linked in by themselves
    setWindowIcon(QIcon(QStringLiteral(":/icons/zel-vanto.png")));
    setFont(uistyle::designFont(layout::kWindowFont));
    uistyle::paintButtonFace(this);

    // The controls in the order they stack, so that the title strip lies above box 1, whose top
    // border it overlaps.
    for (const layout::Control &control : layout::mainWindow::window().controls) {
        if (control.role == layout::Role::Title) {
            auto *title = new ClickLabel(QString::fromStdString(control.caption), this);
            uistyle::applyDesign(title, control);
            title->keyHandler = [this, name = control.name](layout::Key key) {
                return m_behaviour && m_behaviour->KeyDown(name, key);
            };
            connect(title, &ClickLabel::clicked, this, [this] {
                if (m_behaviour)
                    m_behaviour->ZEL_TITLE_Click();
            });
        } else if (control.role == layout::Role::NameBox) {
            addSlot(control);
        }
    }
    uistyle::applyTabOrder(*this, layout::mainWindow::window());

    m_keeperTimer.get()->setObjectName(QStringLiteral("AlwaysOnTopTimer"));
    connect(m_keeperTimer.get(), &QTimer::timeout, this, [this] {
        if (m_behaviour)
            m_behaviour->AlwaysOnTopTimer_Timer();
    });
    m_nameSaveTimer.get()->setObjectName(QStringLiteral("NameSaveTimer"));
    connect(m_nameSaveTimer.get(), &QTimer::timeout, this, [this] {
        if (m_behaviour)
            m_behaviour->NameSaveTimer_Timer();
    });
    new CursorBlinkTimeout(this);
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::addSlot(const layout::Control &design)
{
    const int n = design.slot;
    auto *box = new QLineEdit(this);
    uistyle::applyDesign(box, design);
    box->setAlignment(Qt::AlignCenter);
    box->setMaxLength(layout::kMaxNameLength);
    box->setStyle(uistyle::exactColourStyle());
    box->setVisible(design.designVisible); // until the load reads the store
    connect(box, &QLineEdit::textEdited, this, [this, n] {
        if (m_behaviour)
            m_behaviour->PROCESS_TEXTBOX_Change(n);
    });
    box->installEventFilter(this);
    auto *timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("PROCESS_WATCHER_TIMER_%1").arg(n));
    connect(timer, &QTimer::timeout, this, [this, n] {
        if (m_behaviour)
            m_behaviour->PROCESS_WATCHER_TIMER_Timer(n);
    });
    m_boxes[keys::slotIndex(n)] = box;
    m_nameBoxes[keys::slotIndex(n)] = std::make_unique<QtNameBox>(box);
    m_timers[keys::slotIndex(n)] = std::make_unique<QtTimer>(timer);
}

std::vector<ScreenArea> QtMainWindow::screens() const
{
    return uistyle::availableScreens();
}

void QtMainWindow::place(PixelPoint outerCorner, PixelSize clientSize)
{
    // move() before show() places the frame's outer corner; resize() sets the client area.
    move(outerCorner.x, outerCorner.y);
    resize(clientSize.width, clientSize.height);
    m_normalCorner = pos();
    m_normalSize = size();
    m_placedCorner = QPoint(outerCorner.x, outerCorner.y);
    m_placedSize = QSize(clientSize.width, clientSize.height);
}

namespace {

bool inNormalState(const QWidget &window)
{
    return !(window.windowState() &
             (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
}

} // namespace

PixelPoint QtMainWindow::outerCorner() const
{
    const QPoint corner = uistyle::unlessMoved(
        inNormalState(*this) ? frameGeometry().topLeft() : m_normalCorner, m_placedCorner, *this);
    return {corner.x(), corner.y()};
}

PixelSize QtMainWindow::clientSize() const
{
    const QSize normal =
        uistyle::unlessResized(inNormalState(*this) ? size() : m_normalSize, m_placedSize, *this);
    return {normal.width(), normal.height()};
}

void QtMainWindow::moveEvent(QMoveEvent *event)
{
    if (inNormalState(*this))
        m_normalCorner = frameGeometry().topLeft();
    QWidget::moveEvent(event);
}

void QtMainWindow::resizeEvent(QResizeEvent *event)
{
    if (inNormalState(*this))
        m_normalSize = size();
    QWidget::resizeEvent(event);
}

bool QtMainWindow::knowsPlace() const
{
    return uistyle::platformReportsPlaces();
}

void QtMainWindow::focus(std::string_view control)
{
    uistyle::focusChild(*this, control);
}

std::string QtMainWindow::focused() const
{
    return uistyle::focusedChild(*this);
}

Rgb QtMainWindow::windowTextColour() const
{
    const QColor text = palette().color(QPalette::Text);
    return {static_cast<std::uint8_t>(text.red()), static_cast<std::uint8_t>(text.green()),
            static_cast<std::uint8_t>(text.blue())};
}

bool QtMainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && m_behaviour) {
        for (int n = 1; n <= keys::kSlotCount; ++n) {
            if (watched == m_boxes[keys::slotIndex(n)])
                m_behaviour->PROCESS_TEXTBOX_LostFocus(n);
        }
    }
    return QWidget::eventFilter(watched, event);
}

NameBox &QtMainWindow::box(int n)
{
    return *m_nameBoxes[keys::slotIndex(n)];
}

Timer &QtMainWindow::slotTimer(int n)
{
    return *m_timers[keys::slotIndex(n)];
}

QLineEdit *QtMainWindow::boxWidget(int n) const
{
    return m_boxes[keys::slotIndex(n)];
}

platform::WindowId QtMainWindow::windowId()
{
    // Read afresh: the toolkit re-creates the native window on some changes.
    const QWindow *handle = windowHandle();
    return handle ? static_cast<platform::WindowId>(handle->winId()) : 0;
}

std::unique_ptr<SettingsView> QtMainWindow::createSettingsView()
{
    return std::make_unique<QtSettingsWindow>(this);
}

void QtMainWindow::showEvent(QShowEvent *event)
{
    // The native window exists, not yet mapped: the taskbar hint must be set before it is.
    platform::keepOffTaskbar(windowId());
    QWidget::showEvent(event);
}

void QtMainWindow::closeEvent(QCloseEvent *event)
{
    if (m_behaviour)
        m_behaviour->Form_Unload();
    event->accept();
    emit unloaded();
}
