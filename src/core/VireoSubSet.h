// The window-effects component: a constant alpha for a top-level window and timer-driven fades,
// through the layered-window facility when the system has it. The system calls go through
// LayeredWindowSystem; the Win32 side gives the real ones, the tests a fake in virtual time.
#pragma once

#include <cstdint>

#include "Ports.h"

namespace kiv {

inline constexpr std::uint32_t kWsExLayered = 0x80000;
inline constexpr std::uint32_t kWsExTransparent = 0x20;
inline constexpr std::uint32_t kLwaColorKey = 1;
inline constexpr std::uint32_t kLwaAlpha = 2;
inline constexpr unsigned kSwpHideNoActivate = 0x97;  // no size, move, z-order, activation; hide
inline constexpr unsigned kSwpShowNoActivate = 0x57;  // the same with show
inline constexpr unsigned kRdwRepaintAll = 0x485;     // invalidate, erase, all children, frame
inline constexpr unsigned kFadeOutTimer = 1;
inline constexpr unsigned kFadeInTimer = 2;

// What the component asks of the system.
class LayeredWindowSystem {
public:
    virtual ~LayeredWindowSystem() = default;
    // SetLayeredWindowAttributes was found in USER32.DLL.
    virtual bool HasSetLayeredWindowAttributes() const = 0;
    virtual std::uint32_t GetExStyle(WindowHandle window) = 0;
    virtual void SetExStyle(WindowHandle window, std::uint32_t exStyle) = 0;
    virtual bool SetLayeredWindowAttributes(WindowHandle window, std::uint32_t colorKey, std::uint8_t alpha,
                                            std::uint32_t flags) = 0;
    virtual void SetWindowPos(WindowHandle window, unsigned flags) = 0;
    virtual void RedrawWindow(WindowHandle window, unsigned flags) = 0;
    // Timers of the component's hidden window; each tick comes back as TVireoSubSet::Timer(id).
    // SetTimer returns the timer's identifier, 0 when it could not be set.
    virtual unsigned SetTimer(unsigned id, unsigned interval) = 0;
    virtual void KillTimer(unsigned id) = 0;
};

class TVireoSubSet : public VireoSubSetPort {
public:
    explicit TVireoSubSet(LayeredWindowSystem& system);
    ~TVireoSubSet() override;
    TVireoSubSet(const TVireoSubSet&) = delete;
    TVireoSubSet& operator=(const TVireoSubSet&) = delete;

    bool UseSetLayeredWindow() const override { return useSetLayeredWindow_; }
    bool RunningLayeredWindowFeed() const override { return running_; }
    bool SetLayeredWindowEvent() const override { return setLayeredWindowEvent_; }
    void SetSetLayeredWindowEvent(bool value) override { setLayeredWindowEvent_ = value; }

    bool SetLayeredAlpha(WindowHandle window, int alpha, std::uint32_t colorKey) override;
    bool FadeOut(LayeredForm* form, int alpha, std::uint32_t colorKey, int interval) override;
    bool FadeIn(LayeredForm* form, int alpha, std::uint32_t colorKey, int interval) override;

    // A WM_TIMER of the hidden window: 1 is a fade-out step, any other a fade-in step.
    void Timer(unsigned id);

private:
    static std::uint32_t Flags(std::uint32_t colorKey) { return colorKey ? kLwaColorKey | kLwaAlpha : kLwaAlpha; }
    // The change per tick: an eighth of the alpha, at least 1 so that every fade ends.
    int Step() const { return FadeAlpha / 8 > 0 ? FadeAlpha / 8 : 1; }
    void Apply(int level);
    void StartTimer(unsigned id, int interval);
    void StopTimer();
    void EndFadeOut();
    void EndFadeIn();

public:
    unsigned FadeTimer = 0;
    LayeredForm* FadeForm = nullptr;
    int FadeAlpha = 0;
    int FadeLevel = 0;
    std::uint32_t FadeColorKey = 0;

private:
    LayeredWindowSystem& system_;
    bool useSetLayeredWindow_ = false;
    bool setLayeredWindowEvent_ = true;
    bool running_ = false;
    unsigned timerId_ = 0;  // the identifier asked for: kFadeOutTimer or kFadeInTimer
};

}  // namespace kiv
