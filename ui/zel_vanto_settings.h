#pragma once

#include "windowplacement.h"

#include <QDialog>
#include <array>

class ClickLabel;
class QCheckBox;
class QPushButton;
class ZEL_VANTO_MAIN;

// The settings window: switches the ten watch slots and "Always On Top". Every check box acts at
// once on the main window and the store; OK only closes the window. Modal over the main window,
// which keeps ticking meanwhile.
class ZEL_VANTO_SETTINGS : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kSlotCount = 10;

    explicit ZEL_VANTO_SETTINGS(ZEL_VANTO_MAIN &main);
    ~ZEL_VANTO_SETTINGS() override;

    // Reads the store, places the window and sets the boxes; a box whose stored value differs
    // from its design state counts as clicked. Call once, before exec().
    void Form_Load();
    // Writes the window's place and the "Always On Top" choice; runs once.
    void Form_Unload();

    // The e-mail address that a double-click on the credit line shows.
    static const QString kContactAddress;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ENABLE_PW_Click(int n);
    void AlwaysOnTopTimer_TICKBOX_Click();
    void OK_BUTTON_Click();
    void ZEL_VANTO_CREATOR_DblClick();

    QCheckBox *enableBox(int n) const { return m_enableBoxes[static_cast<std::size_t>(n - 1)]; }
    void writePosition();

    ZEL_VANTO_MAIN &m_main;
    ClickLabel *m_creator = nullptr;
    std::array<QCheckBox *, kSlotCount> m_enableBoxes{};
    QCheckBox *m_alwaysOnTop = nullptr;
    QPushButton *m_ok = nullptr;
    WindowPlacement m_placement; // as applied at load
    bool m_unloaded = false;
};
