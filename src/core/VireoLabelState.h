// The hover behaviour of the link label TVireoLabel: underlined in HoverColor while the mouse
// is over it, back to its own colour when the mouse leaves. Its own colour is taken once, at
// the first enter or leave of its life, and kept from then on.
#pragma once

#include <cstdint>

namespace kiv {

struct TVireoLabelState {
    static constexpr std::uint32_t kRed = 0x0000FF;  // a Windows colour value: 0x00BBGGRR

    std::uint32_t FontColor = 0;
    bool Underline = false;
    std::uint32_t HoverColor = kRed;
    std::int32_t SavedColor = -1;  // -1: nothing saved yet

    void MouseEnter()
    {
        Save();
        Underline = true;
        FontColor = HoverColor;
    }
    void MouseLeave()
    {
        Save();
        Underline = false;
        FontColor = static_cast<std::uint32_t>(SavedColor);
    }

private:
    void Save()
    {
        if (SavedColor == -1)
            SavedColor = static_cast<std::int32_t>(FontColor);
    }
};

}  // namespace kiv
