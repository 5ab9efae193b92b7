// The ports through which the main window's decisions reach the world. The Win32 program
// implements them with windows, timers and the system; the native tests with fakes in
// virtual time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "MeshPort.h"
#include "RasPort.h"
#include "StatusLayout.h"
#include "TextKinds.h"
#include "TimeOfDay.h"
#include "VireoSubSetIni.h"

namespace kiv {

// A timer of the main window; the window side calls the form's handler on each tick.
class TimerPort {
public:
    virtual ~TimerPort() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetInterval(unsigned milliseconds) = 0;
    virtual unsigned Interval() const = 0;
};

class ClockPort {
public:
    virtual ~ClockPort() = default;
    // The date and time the clock shows (TimeOfDay.h).
    virtual LocalTime LocalNow() = 0;
    // Local time of day as a fraction of a day (noon is 0.5).
    double TimeOfDay() { return TimeOfDayFromMilliseconds(MillisecondOfDay(LocalNow())); }
    // The system's millisecond tick (timeGetTime); wraps after 2^32 ms.
    virtual std::uint32_t TickCount() = 0;
};

struct OsVersion {
    unsigned PlatformId = 0;
    unsigned Major = 0;
    unsigned Minor = 0;
};

// Message box flags and the buttons pressed, as the system numbers them.
inline constexpr unsigned kMbOk = 0x00000000;
inline constexpr unsigned kMbAbortRetryIgnore = 0x00000002;
inline constexpr unsigned kMbIconExclamation = 0x00000030;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;

// The application object and the system around it.
class ApplicationPort {
public:
    virtual ~ApplicationPort() = default;
    virtual SjisText Title() const = 0;
    // Full path of the running executable.
    virtual Utf8Path ExePath() const = 0;
    // A path as a text to show; a character Shift-JIS lacks becomes "?".
    virtual SjisText PathText(const Utf8Path& path) const = 0;
    // A message box owned by the program; returns the button pressed.
    virtual int MessageBox(const SjisText& text, const SjisText& caption, unsigned flags) = 0;
    // Ends the message loop; the main window is destroyed afterwards.
    virtual void Terminate() = 0;
    // The message loop has been told to end.
    virtual bool Terminated() const = 0;
    // The operating system's version; nothing when the query fails.
    virtual std::optional<OsVersion> Version() = 0;
};

class TrayPort {
public:
    virtual ~TrayPort() = default;
    // Adds the tray icon with the image of the named icon resource.
    virtual void Add(const char* iconResource) = 0;
    // Removes the tray icon; harmless when it was never added.
    virtual void Delete() = 0;
};

// A window handle as a number; 0 is none.
using WindowHandle = std::intptr_t;

// A form object as the window-effects component sees it.
class LayeredForm {
public:
    virtual ~LayeredForm() = default;
    virtual WindowHandle Handle() = 0;
    // The form object's own visibility (its Hide and Visible := true).
    virtual void Hide() = 0;
    virtual void Show() = 0;
};

// The window-effects component with its INI helpers: alpha and fades of top-level windows.
class VireoSubSetPort : public TVireoSubSetIni {
public:
    virtual ~VireoSubSetPort() = default;
    // Layered windows (alpha blending) are available.
    virtual bool UseSetLayeredWindow() const = 0;
    // A fade is running.
    virtual bool RunningLayeredWindowFeed() const = 0;
    // Whether the end of a fade also sets the form's own visibility flag.
    virtual bool SetLayeredWindowEvent() const = 0;
    virtual void SetSetLayeredWindowEvent(bool value) = 0;
    // Alpha 0..255, or -1 to remove the layering; colorKey 0 is none.
    virtual bool SetLayeredAlpha(WindowHandle window, int alpha, std::uint32_t colorKey) = 0;
    // From alpha down to hidden, one step every interval ms; true when the fade started.
    virtual bool FadeOut(LayeredForm* form, int alpha, std::uint32_t colorKey, int interval) = 0;
    // From 0 up to alpha, shown without activation.
    virtual bool FadeIn(LayeredForm* form, int alpha, std::uint32_t colorKey, int interval) = 0;

    // A fade-out has ended with the window hidden (at its last tick, or at once when it could not
    // step).
    std::function<void()> OnFadeOutEnd;
};

// The status window: the main form on the screen with its icon imMainIcon and its label
// laStatus. The form's logic decides; this only measures, moves, shapes and draws.
class StatusWindowPort : public LayeredForm {
public:
    // SetWindowPos without move, size, z-order change or activation: hidden or shown.
    virtual void HideWithoutActivation() = 0;
    virtual void ShowWithoutActivation() = 0;
    // Repaints the window with its frame and all children.
    virtual void Redraw() = 0;

    // Sets the label's text (a CR starts a line) and returns the size the label takes.
    virtual TSize SetStatusCaption(const SjisText& text) = 0;
    virtual void SetIconEnabled(bool enabled) = 0;
    // Moves the icon by dx, dy from where it is.
    virtual void MoveIcon(int dx, int dy) = 0;

    virtual int Width() = 0;
    virtual void SetBounds(int left, int top, int width, int height) = 0;
    // The dpi of the monitor the window is on (96 at 100 %); the caption is measured, and the
    // icon drawn, at that dpi.
    virtual unsigned Dpi() = 0;
    // The primary screen, its work area and the taskbar window, as they are now.
    virtual TStatusArea Area() = 0;
    // Applies the window's region, without redrawing.
    virtual void SetShape(const TStatusShape& shape) = 0;
    // Draws the close bar now and whenever the window is painted until the next call.
    virtual void DrawCloseBar(const TCloseBar& bar) = 0;
};

}  // namespace kiv
