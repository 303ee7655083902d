// Colours as RGB(red, green, blue) and the program's palette.
#pragma once

#include <cstdint>

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

constexpr Rgb kAccentOrange{255, 102, 0};  // Help title, About captions, editor
constexpr Rgb kBlue{0, 0, 255};            // requests, headings, links
constexpr Rgb kRed{255, 0, 0};             // exception responses
constexpr Rgb kBlack{0, 0, 0};             // valid responses
constexpr Rgb kDarkGrey{64, 64, 64};       // elapsed-time lines
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kWindowGrey{200, 200, 200};  // window background, odd rows
constexpr Rgb kPageGrey{230, 230, 230};    // pages
constexpr Rgb kRowLight{240, 240, 240};    // even rows, list background
constexpr Rgb kStaleGrey{105, 105, 105};   // values not confirmed by the latest read: 3.3:1 on odd rows
// Disabled text, where the desktop's own greyed colour would not read
// (3:1 at least): on the light greys (3.3:1 on the window grey) and on the
// accent orange (3.5:1).
constexpr Rgb kDisabledOnLight{105, 105, 105};
constexpr Rgb kDisabledOnOrange{110, 44, 0};
