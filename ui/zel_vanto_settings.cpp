#include "zel_vanto_settings.h"

#include "clicklabel.h"
#include "platform/windowchrome.h"
#include "store/settingsstore.h"
#include "twips.h"
#include "uistyle.h"
#include "zel_vanto_main.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>

const QString ZEL_VANTO_SETTINGS::kContactAddress = QStringLiteral("corvane@example.org");

namespace {

struct LabelDesign
{
    const char *name;
    const char *caption;
    Twips::Place place;
};

// The header: two labels, the credit across the full width, two labels.
constexpr LabelDesign kLabels[] = {
    {"ZEL_VANTO_TITLE_1", "TARNWICK - ZEL-VANTO", {120, 120, 3735, 480}},
    {"ZEL_VANTO_TITLE_2", "Sentrovia", {3960, 120, 3135, 480}},
    {"ZEL_VANTO_CREATOR", "Created By Corvane", {120, 720, 6975, 450}},
    {"VERSION_LABEL", "Version 1.0", {120, 1200, 3735, 465}},
    {"FREEWARE_LABEL", "!!! FREEWARE !!!", {3960, 1200, 3135, 465}},
};

// Slots 1-5 in the left column, 6-10 in the right, rows 360 twips apart; box 10 is wider.
constexpr Twips::Place enablePlace(int n)
{
    return n <= 5 ? Twips::Place{960, 1800 + 360 * (n - 1), 2295, 255}
                  : Twips::Place{4440, 1800 + 360 * (n - 6), n == 10 ? 2415 : 2295, 255};
}

constexpr Twips::Place kAlwaysOnTopPlace{1440, 3840, 1575, 495};
constexpr Twips::Place kOkPlace{4560, 3840, 2055, 495};

constexpr int kFrameWidth = 7320 - 7230; // outer less client size of the design
constexpr int kFrameHeight = 4845 - 4515;

// The check state a box shows for a stored value: only 1 checks it.
Qt::CheckState shownState(qint16 value)
{
    return value == 1 ? Qt::Checked : Qt::Unchecked;
}

} // namespace

ZEL_VANTO_SETTINGS::ZEL_VANTO_SETTINGS(ZEL_VANTO_MAIN &main)
    : QDialog(&main,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_main(main)
{
    setObjectName(QStringLiteral("ZEL_VANTO_SETTINGS"));
    setWindowTitle(QStringLiteral("ZEL-VANTO - SETTINGS"));
    setWindowModality(Qt::WindowModal);
    setFont(UiStyle::designFont(8.25, false));
    UiStyle::paintButtonFace(this);

    for (const LabelDesign &design : kLabels) {
        auto *label = new ClickLabel(QString::fromUtf8(design.caption), this);
        label->setObjectName(QString::fromUtf8(design.name));
        label->setAlignment(Qt::AlignCenter);
        label->setFont(UiStyle::designFont(12, true));
        UiStyle::paintTitle(label);
        label->setGeometry(Twips::toPixels(design.place));
        if (label->objectName() == QLatin1String("ZEL_VANTO_CREATOR"))
            m_creator = label;
    }

    for (int n = 1; n <= kSlotCount; ++n) {
        auto *box = new QCheckBox(QStringLiteral("Enable Process Watcher - %1").arg(n), this);
        box->setObjectName(QStringLiteral("ENABLE_PW_%1").arg(n));
        box->setGeometry(Twips::toPixels(enablePlace(n)));
        box->setChecked(n <= 5); // the design state, until the load reads the store
        UiStyle::fitCaption(box);
        m_enableBoxes[static_cast<std::size_t>(n - 1)] = box;
    }
    m_alwaysOnTop = new QCheckBox(QStringLiteral("Always On Top"), this);
    m_alwaysOnTop->setObjectName(QStringLiteral("AlwaysOnTopTimer_TICKBOX"));
    m_alwaysOnTop->setGeometry(Twips::toPixels(kAlwaysOnTopPlace));

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OK_BUTTON"));
    m_ok->setGeometry(Twips::toPixels(kOkPlace));
    // Neither Enter nor Escape is bound: OK is no default button and there is no cancel.
    m_ok->setAutoDefault(false);
    m_ok->setDefault(false);

    for (int n = 1; n <= kSlotCount; ++n)
        connect(enableBox(n), &QCheckBox::clicked, this, [this, n] { ENABLE_PW_Click(n); });
    connect(m_alwaysOnTop, &QCheckBox::clicked, this,
            &ZEL_VANTO_SETTINGS::AlwaysOnTopTimer_TICKBOX_Click);
    connect(m_ok, &QPushButton::clicked, this, &ZEL_VANTO_SETTINGS::OK_BUTTON_Click);
    connect(m_creator, &ClickLabel::doubleClicked, this,
            &ZEL_VANTO_SETTINGS::ZEL_VANTO_CREATOR_DblClick);

    QWidget *previous = enableBox(1);
    for (int n = 2; n <= kSlotCount; ++n) {
        setTabOrder(previous, enableBox(n));
        previous = enableBox(n);
    }
    setTabOrder(previous, m_ok);
    setTabOrder(m_ok, m_alwaysOnTop);
}

ZEL_VANTO_SETTINGS::~ZEL_VANTO_SETTINGS() = default;

void ZEL_VANTO_SETTINGS::Form_Load()
{
    SettingsStore &store = m_main.store();
    const WindowPlacement stored = WindowPlacement::load(
        store, SettingKeys::settingsLeft(), SettingKeys::settingsTop(),
        SettingKeys::settingsWidth(), SettingKeys::settingsHeight(), kFrameWidth, kFrameHeight);
    // A modal window off every screen would leave the program unusable: bring it back.
    m_placement = stored.rescuedOnScreen();
    m_placement.applyTo(*this);
    setFixedSize(m_placement.clientSize());

    // Setting a box to a value other than the one it shows counts as a click on it.
    const Qt::CheckState onTop = shownState(store.int16(SettingKeys::alwaysOnTop()));
    if (m_alwaysOnTop->checkState() != onTop) {
        m_alwaysOnTop->setCheckState(onTop);
        AlwaysOnTopTimer_TICKBOX_Click();
    }
    for (int n = 1; n <= kSlotCount; ++n) {
        const Qt::CheckState state = shownState(store.int16(SettingKeys::enablePw(n)));
        if (enableBox(n)->checkState() != state) {
            enableBox(n)->setCheckState(state);
            ENABLE_PW_Click(n);
        }
    }

    platform::keepOffTaskbar(static_cast<platform::WindowId>(winId()),
                             QGuiApplication::platformName().toStdString());
    enableBox(1)->setFocus();
}

void ZEL_VANTO_SETTINGS::ENABLE_PW_Click(int n)
{
    const qint16 value = enableBox(n)->isChecked() ? 1 : 0;
    if (value == 1)
        m_main.enable(n);
    else
        m_main.disable(n);
    m_main.store().saveInt16(SettingKeys::enablePw(n), value);
}

void ZEL_VANTO_SETTINGS::AlwaysOnTopTimer_TICKBOX_Click()
{
    const qint16 value = m_alwaysOnTop->isChecked() ? 1 : 0;
    if (value == 1)
        m_main.enableKeeper();
    else
        m_main.disableKeeper();
    m_main.store().saveInt16(SettingKeys::alwaysOnTop(), value);
}

void ZEL_VANTO_SETTINGS::OK_BUTTON_Click()
{
    writePosition();
    close();
}

void ZEL_VANTO_SETTINGS::ZEL_VANTO_CREATOR_DblClick()
{
    m_creator->setText(kContactAddress);
}

void ZEL_VANTO_SETTINGS::writePosition()
{
    const WindowPlacement now = WindowPlacement::of(*this, m_placement);
    m_main.store().saveSingle(SettingKeys::settingsLeft(), now.left);
    m_main.store().saveSingle(SettingKeys::settingsTop(), now.top);
}

void ZEL_VANTO_SETTINGS::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    writePosition();
    m_main.store().saveInt16(SettingKeys::alwaysOnTop(), m_alwaysOnTop->isChecked() ? 1 : 0);
}

void ZEL_VANTO_SETTINGS::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    QDialog::closeEvent(event);
}

void ZEL_VANTO_SETTINGS::keyPressEvent(QKeyEvent *event)
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
