// The pictures stored in the program: the About page's logo (in two
// resolutions) and the window icon, PNG images decoded with libpng.
#pragma once

#include <cstddef>

class QImage;

// Decodes a PNG image held in memory: 8-bit RGB, or RGBA when the image has
// transparency. Any failure (not a PNG, truncated, corrupt, absurdly large)
// gives a null image; nothing is reported.
QImage DecodePng(const unsigned char* data, size_t size);

// Decodes the stored logo and icon; GUI thread, once at start-up. The large
// logo is decoded when first asked for.
void DecodeLogo();

// The decoded logo (250 x 250), null if it could not be decoded.
const QImage& LogoImage();
// The same picture drawn at 500 x 500, for scaled screens; null if it could
// not be decoded. GUI thread.
const QImage& LargeLogoImage();
// The decoded window icon (32 x 32), null if it could not be decoded.
const QImage& IconImage();
