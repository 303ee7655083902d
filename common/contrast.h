// How well text reads on its background: the contrast ratio of two colours
// as the Web Content Accessibility Guidelines define it, from 1 (the same
// lightness) to 21 (black on white). Body text wants 4.5:1, greyed
// (disabled) text 3:1. Pure: no Qt.
#pragma once

#include "common/colours.h"

// The colour's relative luminance, 0 (black) to 1 (white), from its sRGB
// channels made linear.
double RelativeLuminance(Rgb colour);

// (lighter + 0.05) / (darker + 0.05), in whichever order the colours come.
double ContrastRatio(Rgb a, Rgb b);
