#include "ui/logo.h"

#include <QImage>

#include <png.h>

#include <cstring>
#include <vector>

// Generated at build time from resources/logo.png, logo_2x.png and icon.png.
extern const unsigned char kLogoPng[];
extern const size_t kLogoPng_size;
extern const unsigned char kLogo2xPng[];
extern const size_t kLogo2xPng_size;
extern const unsigned char kIconPng[];
extern const size_t kIconPng_size;

namespace {

// Pictures larger than this are refused rather than allocated.
constexpr png_uint_32 kMaxSide = 4096;

struct MemoryInput {
    const unsigned char* data;
    size_t size;
    size_t offset;
};

// What the decode fills in; owned by the caller so that a libpng error,
// which longjmps out of the decode, never skips a destructor.
struct DecodeResult {
    QImage image;
    std::vector<png_bytep> rows;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (length > in->size - in->offset)
        png_error(png, "truncated");
    std::memcpy(out, in->data + in->offset, length);
    in->offset += length;
}

void OnPngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Holds no objects of its own, so the longjmp back to setjmp is safe.
bool DecodeSteps(png_structp png, png_infop info, DecodeResult* out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;

    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return false;

    // Whatever the stored form, read 8-bit RGB or RGBA.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const int channels = png_get_channels(png, info);
    if (channels != 3 && channels != 4)
        return false;
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * static_cast<size_t>(channels))
        return false;

    out->image = QImage(static_cast<int>(width), static_cast<int>(height),
                        channels == 3 ? QImage::Format_RGB888 : QImage::Format_RGBA8888);
    if (out->image.isNull())
        return false;
    out->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        out->rows[y] = out->image.scanLine(static_cast<int>(y));
    png_read_image(png, out->rows.data());
    png_read_end(png, nullptr);
    return true;
}

// GUI thread only; file-local: decoded once, handed out by the functions below.
struct Pictures {
    QImage logo;
    QImage logo2x;  // decoded when first asked for
    QImage icon;
};
Pictures gPictures;

}  // namespace

QImage DecodePng(const unsigned char* data, size_t size)
{
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return {};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return {};
    }
    MemoryInput input{data, size, 0};
    png_set_read_fn(png, &input, ReadFromMemory);

    DecodeResult result;
    const bool ok = DecodeSteps(png, info, &result);
    png_destroy_read_struct(&png, &info, nullptr);
    return ok ? result.image : QImage();
}

void DecodeLogo()
{
    gPictures.logo = DecodePng(kLogoPng, kLogoPng_size);
    gPictures.icon = DecodePng(kIconPng, kIconPng_size);
}

const QImage& LogoImage()
{
    return gPictures.logo;
}

const QImage& LargeLogoImage()
{
    // Four times the pixels of the small one and only wanted on a scaled
    // screen: decoded when first asked for, not at start-up.
    static bool decoded = false;
    if (!decoded) {
        gPictures.logo2x = DecodePng(kLogo2xPng, kLogo2xPng_size);
        decoded = true;
    }
    return gPictures.logo2x;
}

const QImage& IconImage()
{
    return gPictures.icon;
}
