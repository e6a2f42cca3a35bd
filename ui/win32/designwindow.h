#pragma once

#include "layout.h"
#include "twips.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace win32 {

// Receives the messages that a DesignWindow leaves to its owner.
class MessageHandler
{
public:
    virtual ~MessageHandler() = default;
    // The result of `message`, or nullopt for the system's default handling.
    virtual std::optional<LRESULT> onMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

// A top-level window built from a layout table. It places its controls in twips at the window's
// own DPI (pixels = twips x DPI / 1440), gives them the design's fonts and the labels their
// green on black, follows DPI changes, and keeps the keyboard focus where it was put while the
// window is not active. Everything else goes to its MessageHandler.
class DesignWindow
{
public:
    struct Frame
    {
        const wchar_t *className;
        std::string_view caption; // UTF-8
        DWORD style;
        DWORD exStyle;
        HWND owner = nullptr;
        bool programIcon = false; // the executable's icon as the class icon, large and small
    };

    // Created hidden, not yet placed.
    DesignWindow(const Frame &frame, MessageHandler &handler);
    ~DesignWindow();
    DesignWindow(const DesignWindow &) = delete;
    DesignWindow &operator=(const DesignWindow &) = delete;

    HWND hwnd() const { return m_hwnd; }

    // A control of the system class `windowClass` at `design`'s place, with its font, and with
    // `id` as its command id. Labels get the design's colours. Tab order is creation order.
    HWND addControl(const layout::Control &design, const wchar_t *windowClass, DWORD style,
                    DWORD exStyle, int id);

    HWND control(std::string_view name) const;
    // What the design's labels are painted on.
    HBRUSH labelBrush() const { return m_labelBrush; }

    int dpi() const;
    // The monitors' work areas, the primary monitor first, each with its DPI.
    static std::vector<ScreenArea> screens();
    // The frame's outer corner at `outerCorner` and a client area of `clientSize`, whatever
    // frame the system draws.
    void place(PixelPoint outerCorner, PixelSize clientSize);
    // The place in the normal state, also while the window is maximised or minimised.
    PixelPoint outerCorner() const;
    PixelSize clientSize() const;

    // Gives `control` the keyboard focus now if the window is active, else when it next is.
    void focus(HWND control);
    // The same by the control's name in the layout table; and the name of the control that has
    // the focus, or has it again when the window is next active ("" for none).
    void focus(std::string_view name);
    std::string focused() const;

private:
    struct Control
    {
        HWND hwnd;
        const layout::Control *design;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void layoutAt(int dpi);
    // What the system's frame adds to the client area, at the window's DPI.
    PixelSize frameSize() const;
    // The design's face at `pixelHeight`, or a scalable one where the design's cannot be drawn
    // at that size.
    HFONT font(int pixelHeight, bool bold);
    // The control's font at the window's DPI: the design's size, or smaller where its caption
    // would not fit the control at that size (fonts do not scale exactly with the DPI).
    HFONT fittedFont(const layout::Control &design);
    bool isLabel(HWND control) const;

    MessageHandler &m_handler;
    HWND m_hwnd = nullptr;
    std::vector<Control> m_controls;
    int m_fontDpi = 0;
    bool m_placing = false; // inside place(), whose size is the target monitor's already
    struct Font
    {
        int pixelHeight;
        bool bold;
        HFONT handle;
    };
    std::vector<Font> m_fonts; // at m_fontDpi
    HBRUSH m_labelBrush = nullptr;
    HWND m_focus = nullptr;
};

} // namespace win32
