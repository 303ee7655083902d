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
// Values not confirmed by the latest read, drawn in italics too so that
// they stay apart from live black: 4.8:1 on the odd rows' grey.
constexpr Rgb kStaleGrey{80, 80, 80};
// The controls' own face (fields locked, buttons, dialogs) and text while
// disabled: 5.5:1 on the face, 5:1 on the pages' grey.
constexpr Rgb kControlFace{239, 239, 239};
constexpr Rgb kDisabledText{96, 96, 96};
// Disabled text on the accent orange: 5:1.
constexpr Rgb kDisabledOnOrange{72, 28, 0};
// The selection: white on it 5.2:1.
constexpr Rgb kSelectionBlue{48, 112, 176};
