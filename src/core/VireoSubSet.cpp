#include "VireoSubSet.h"

namespace kiv {

TVireoSubSet::TVireoSubSet(LayeredWindowSystem& system)
    : system_(system), useSetLayeredWindow_(system.HasSetLayeredWindowAttributes())
{
}

TVireoSubSet::~TVireoSubSet() { StopTimer(); }

bool TVireoSubSet::SetLayeredAlpha(WindowHandle window, int alpha, std::uint32_t colorKey)
{
    if (!useSetLayeredWindow_ || window <= 0 || alpha < -1 || alpha > 255)
        return false;
    const std::uint32_t style = system_.GetExStyle(window);
    if (alpha == -1) {
        if (style & kWsExLayered)
            system_.SetExStyle(window, style & ~kWsExLayered);
        system_.RedrawWindow(window, kRdwRepaintAll);
        return true;
    }
    system_.SetExStyle(window, style | kWsExLayered);
    return system_.SetLayeredWindowAttributes(window, colorKey, static_cast<std::uint8_t>(alpha), Flags(colorKey));
}

bool TVireoSubSet::FadeOut(LayeredForm* form, int alpha, std::uint32_t colorKey, int interval)
{
    if (!form || alpha < -1 || alpha > 255 || !useSetLayeredWindow_)
        return false;
    running_ = true;
    const WindowHandle window = form->Handle();
    system_.SetExStyle(window, system_.GetExStyle(window) | kWsExLayered | kWsExTransparent);
    StopTimer();
    FadeForm = form;
    FadeAlpha = alpha;
    FadeLevel = alpha;
    FadeColorKey = colorKey;
    StartTimer(kFadeOutTimer, interval);
    return true;
}

bool TVireoSubSet::FadeIn(LayeredForm* form, int alpha, std::uint32_t colorKey, int interval)
{
    if (!form || alpha < -1 || alpha > 255 || !useSetLayeredWindow_)
        return false;
    const WindowHandle window = form->Handle();
    system_.SetExStyle(window, (system_.GetExStyle(window) | kWsExLayered) & ~kWsExTransparent);
    if (!system_.SetLayeredWindowAttributes(window, 0, 0, kLwaAlpha))
        return false;
    running_ = true;
    system_.SetWindowPos(window, kSwpShowNoActivate);
    StopTimer();
    FadeForm = form;
    FadeAlpha = alpha;
    FadeLevel = 0;
    FadeColorKey = colorKey;
    StartTimer(kFadeInTimer, interval);
    return true;
}

void TVireoSubSet::Timer(unsigned id)
{
    // A tick left in the queue by a fade that has been replaced or has ended is not a step.
    if (FadeTimer == 0 || id != timerId_ || !FadeForm)
        return;
    if (id == kFadeOutTimer) {
        if (FadeLevel > 0) {
            Apply(FadeLevel);
            FadeLevel -= Step();
        } else {
            EndFadeOut();
        }
    } else if (FadeLevel < FadeAlpha) {
        Apply(FadeLevel);
        FadeLevel += Step();
    } else {
        EndFadeIn();
    }
}

void TVireoSubSet::EndFadeOut()
{
    StopTimer();
    if (setLayeredWindowEvent_)
        FadeForm->Hide();
    const WindowHandle window = FadeForm->Handle();
    system_.SetWindowPos(window, kSwpHideNoActivate);
    const std::uint32_t style = system_.GetExStyle(window);
    if (style & kWsExTransparent)
        system_.SetExStyle(window, style & ~kWsExTransparent);
    running_ = false;
    if (OnFadeOutEnd)
        OnFadeOutEnd();
}

void TVireoSubSet::EndFadeIn()
{
    StopTimer();
    Apply(FadeAlpha & 0xFF);
    if (setLayeredWindowEvent_)
        FadeForm->Show();
    running_ = false;
}

void TVireoSubSet::StartTimer(unsigned id, int interval)
{
    timerId_ = id;
    FadeTimer = system_.SetTimer(id, static_cast<unsigned>(interval > 0 ? interval : 1));
    // Without a timer the fade could never step: it ends at once instead.
    if (FadeTimer == 0) {
        if (id == kFadeOutTimer)
            EndFadeOut();
        else
            EndFadeIn();
    }
}

void TVireoSubSet::Apply(int level)
{
    system_.SetLayeredWindowAttributes(FadeForm->Handle(), FadeColorKey, static_cast<std::uint8_t>(level),
                                       Flags(FadeColorKey));
}

void TVireoSubSet::StopTimer()
{
    if (FadeTimer != 0)
        system_.KillTimer(timerId_);
    FadeTimer = 0;
}

}  // namespace kiv
