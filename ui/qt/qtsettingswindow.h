#pragma once

#include "layout.h"
#include "qtcontrols.h"
#include "views.h"

#include <QDialog>
#include <array>
#include <memory>

class ClickLabel;
class QCheckBox;
class QPushButton;

// The settings window in Qt widgets: a fixed-size tool dialog owned by the main window, its
// labels, check boxes and button placed from the layout table. While it runs modally its events
// go to the behaviour.
class QtSettingsWindow final : public QDialog, public SettingsView
{
    Q_OBJECT

public:
    explicit QtSettingsWindow(QWidget *owner);
    ~QtSettingsWindow() override;

    std::vector<ScreenArea> screens() const override;
    void place(PixelPoint outerCorner, PixelSize clientSize) override;
    PixelPoint outerCorner() const override;
    PixelSize clientSize() const override;
    bool knowsPlace() const override;
    void focus(std::string_view control) override;
    std::string focused() const override;

    CheckBox &enableBox(int n) override;
    CheckBox &alwaysOnTopBox() override { return *m_alwaysOnTop; }
    void setCreatorCaption(std::string_view caption) override;
    void runModal(ZEL_VANTO_SETTINGS &behaviour) override;
    void closeWindow() override;

    // Every way the window closes (its close control, OK, Escape were it bound) runs the unload.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    ZEL_VANTO_SETTINGS *m_behaviour = nullptr;
    ClickLabel *m_creator = nullptr;
    std::array<std::unique_ptr<QtCheckBox>, keys::kSlotCount> m_enableBoxes;
    std::unique_ptr<QtCheckBox> m_alwaysOnTop;
    QPoint m_placedCorner; // as place() was asked
    QSize m_placedSize;
};
