#pragma once

#include "layout.h"
#include "qtcontrols.h"
#include "views.h"

#include <QWidget>
#include <array>
#include <memory>

class QLineEdit;
class QTimer;
class ZEL_VANTO_MAIN;

// The main window in Qt widgets: a tool window with the title strip and ten name boxes placed
// from the layout table. Every event goes to the behaviour it is bound to.
class QtMainWindow final : public QWidget, public MainView
{
    Q_OBJECT

public:
    QtMainWindow();
    ~QtMainWindow() override;

    // From here on the window's events go to `behaviour`.
    void bind(ZEL_VANTO_MAIN &behaviour) { m_behaviour = &behaviour; }

    std::vector<ScreenArea> screens() const override;
    void place(PixelPoint outerCorner, PixelSize clientSize) override;
    PixelPoint outerCorner() const override;
    PixelSize clientSize() const override;
    bool knowsPlace() const override;
    void focus(std::string_view control) override;
    std::string focused() const override;

    NameBox &box(int n) override;
    Timer &slotTimer(int n) override;
    Timer &keeperTimer() override { return m_keeperTimer; }
    Timer &nameSaveTimer() override { return m_nameSaveTimer; }
    platform::WindowId windowId() override;
    Rgb windowTextColour() const override;
    std::unique_ptr<SettingsView> createSettingsView() override;

    QLineEdit *boxWidget(int n) const;

signals:
    // The unload has run and the window is gone: the program may end.
    void unloaded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Box n with its timer, forwarding their events to the handlers of slot n.
    void addSlot(const layout::Control &design);

    ZEL_VANTO_MAIN *m_behaviour = nullptr;
    std::array<QLineEdit *, keys::kSlotCount> m_boxes{};
    std::array<std::unique_ptr<QtNameBox>, keys::kSlotCount> m_nameBoxes;
    std::array<std::unique_ptr<QtTimer>, keys::kSlotCount> m_timers;
    QtTimer m_keeperTimer;
    QtTimer m_nameSaveTimer;
    // The place in the normal state, kept while the window is maximised or minimised.
    QPoint m_normalCorner;
    QSize m_normalSize;
    QPoint m_placedCorner; // as place() was asked
    QSize m_placedSize;
};
