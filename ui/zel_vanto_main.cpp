#include "zel_vanto_main.h"

#include "clicklabel.h"
#include "platform/windowchrome.h"
#include "platform/zorder.h"
#include "store/settingsstore.h"
#include "twips.h"
#include "uistyle.h"
#include "zel_vanto_settings.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTimer>
#include <limits>

namespace {

// The controls' places in the client area, in twips.
constexpr Twips::Place kTitlePlace{0, 0, 1575, 255};
// Boxes stand 360 twips apart and, 375 high, overlap their neighbours so that borders coincide.
constexpr Twips::Place boxPlace(int n)
{
    return {0, 240 + 360 * (n - 1), 1575, 375};
}

constexpr int kFrameWidth = 2 * 60;    // design frame: 60 twips at each side
constexpr int kFrameHeight = 300 + 60; // caption and top edge, bottom edge

} // namespace

ZEL_VANTO_MAIN::ZEL_VANTO_MAIN(SettingsStore &store, std::unique_ptr<ProcessProbe> probe,
                               QWidget *parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_store(store), m_probe(std::move(probe))
{
    setObjectName(QStringLiteral("ZEL_VANTO_MAIN"));
    setWindowTitle(QStringLiteral("ZEL-VANTO"));
    Q_INIT_RESOURCE(zel_vanto); // a static library's resources are not linked in by themselves
    setWindowIcon(QIcon(QStringLiteral(":/icons/zel-vanto.png")));
    setFont(UiStyle::designFont(8.25, false));
    UiStyle::paintButtonFace(this);

    m_title = new ClickLabel(QStringLiteral("ZEL-VANTO"), this);
    m_title->setObjectName(QStringLiteral("ZEL_TITLE"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setFont(UiStyle::designFont(9.75, true));
    UiStyle::paintTitle(m_title);
    m_title->setGeometry(Twips::toPixels(kTitlePlace));

    for (int n = 1; n <= kSlotCount; ++n) {
        auto *box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("PROCESS_TEXTBOX_%1").arg(n));
        box->setAlignment(Qt::AlignCenter);
        box->setFont(UiStyle::designFont(8.25, true));
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setStyle(UiStyle::exactColourStyle());
        box->setGeometry(Twips::toPixels(boxPlace(n)));
        box->setVisible(n <= 5); // the design state, until the load reads the store

        auto *timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("PROCESS_WATCHER_TIMER_%1").arg(n));

        const auto i = static_cast<std::size_t>(n - 1);
        m_boxes[i] = box;
        m_timers[i] = timer;
        m_slots[i] = std::make_unique<WatcherSlot>(box, timer, *m_probe);
    }
    // The title strip overlaps box 1 by one pixel; keep it on top of the box's border.
    m_title->raise();

    m_alwaysOnTopTimer = new QTimer(this);
    m_alwaysOnTopTimer->setObjectName(QStringLiteral("AlwaysOnTopTimer"));
    m_keeper = std::make_unique<TopmostKeeper>(
        m_alwaysOnTopTimer, this,
        platform::createZOrder(QGuiApplication::platformName().toStdString()));

    for (int n = 1; n <= kSlotCount; ++n) {
        connect(m_timers[static_cast<std::size_t>(n - 1)], &QTimer::timeout, this,
                [this, n] { PROCESS_WATCHER_TIMER_Timer(n); });
    }
    connect(m_alwaysOnTopTimer, &QTimer::timeout, this, &ZEL_VANTO_MAIN::AlwaysOnTopTimer_Timer);
    connect(m_title, &ClickLabel::clicked, this, &ZEL_VANTO_MAIN::ZEL_TITLE_Click);

    for (int n = 1; n < kSlotCount; ++n)
        setTabOrder(m_boxes[static_cast<std::size_t>(n - 1)], m_boxes[static_cast<std::size_t>(n)]);
}

ZEL_VANTO_MAIN::~ZEL_VANTO_MAIN() = default;

WatcherSlot &ZEL_VANTO_MAIN::watcherSlot(int n)
{
    Q_ASSERT(n >= 1 && n <= kSlotCount);
    return *m_slots[static_cast<std::size_t>(n - 1)];
}

void ZEL_VANTO_MAIN::Form_Load()
{
    const WindowPlacement stored = WindowPlacement::load(
        m_store, SettingKeys::mainLeft(), SettingKeys::mainTop(), SettingKeys::mainWidth(),
        SettingKeys::mainHeight(), kFrameWidth, kFrameHeight);
    // A window wholly off every screen could not be reached: it is not in the taskbar.
    m_placement = stored.rescuedOnScreen();
    m_placement.applyTo(*this);

    m_alwaysOnTopTimer->setInterval(TopmostKeeper::kIntervalMs);
    std::array<bool, kSlotCount> enabled{};
    for (int n = 1; n <= kSlotCount; ++n)
        enabled[static_cast<std::size_t>(n - 1)] = m_store.boolean(SettingKeys::enablePw(n));
    for (int n = 1; n <= kSlotCount; ++n) {
        watcherSlot(n).setup(enabled[static_cast<std::size_t>(n - 1)],
                             m_store.text(SettingKeys::processTextbox(n)));
    }
    if (m_store.real(SettingKeys::alwaysOnTop()) == 1)
        enableKeeper();
    else
        disableKeeper();

    // The native window exists from here on; the taskbar hint must be set before it is mapped.
    platform::keepOffTaskbar(static_cast<platform::WindowId>(winId()),
                             QGuiApplication::platformName().toStdString());

    for (QLineEdit *box : m_boxes) {
        if (!box->isHidden()) {
            box->setFocus();
            break;
        }
    }
}

void ZEL_VANTO_MAIN::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    saveState();
}

void ZEL_VANTO_MAIN::saveState()
{
    const WindowPlacement now = WindowPlacement::of(*this, m_placement);
    m_store.saveSingle(SettingKeys::mainLeft(), now.left);
    m_store.saveSingle(SettingKeys::mainTop(), now.top);
    m_store.saveSingle(SettingKeys::mainWidth(), now.width);
    m_store.saveSingle(SettingKeys::mainHeight(), now.height);
    for (int n = 1; n <= kSlotCount; ++n)
        m_store.save(SettingKeys::processTextbox(n),
                     m_boxes[static_cast<std::size_t>(n - 1)]->text());
}

void ZEL_VANTO_MAIN::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
    emit unloaded();
}

void ZEL_VANTO_MAIN::enable(int n)
{
    watcherSlot(n).enable();
}

void ZEL_VANTO_MAIN::disable(int n)
{
    watcherSlot(n).disable();
}

void ZEL_VANTO_MAIN::enableKeeper()
{
    m_keeper->enableKeeper();
}

void ZEL_VANTO_MAIN::disableKeeper()
{
    m_keeper->disableKeeper();
}

void ZEL_VANTO_MAIN::PROCESS_WATCHER_TIMER_Timer(int n)
{
    watcherSlot(n).tick();
}

void ZEL_VANTO_MAIN::AlwaysOnTopTimer_Timer()
{
    m_keeper->tick();
}

void ZEL_VANTO_MAIN::ZEL_TITLE_Click()
{
    ZEL_VANTO_SETTINGS settings(*this);
    settings.Form_Load();
    settings.exec();
}
