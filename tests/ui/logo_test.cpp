// Decoding PNG images from memory with libpng.
#include <gtest/gtest.h>

#include <QImage>

#include <zlib.h>

#include <cstring>
#include <vector>

#include "ui/logo.h"

extern const unsigned char kLogoPng[];
extern const size_t kLogoPng_size;
extern const unsigned char kLogo2xPng[];
extern const size_t kLogo2xPng_size;

TEST(Logo, StoredLogoDecodesToA250SquareRgbImage)
{
    const QImage logo = DecodePng(kLogoPng, kLogoPng_size);
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.size(), QSize(250, 250));
    EXPECT_EQ(logo.format(), QImage::Format_RGB888);
    // Its corner is the page colour, so it sits on the page without a box.
    EXPECT_EQ(logo.pixelColor(0, 0), QColor(230, 230, 230));
    // Its twice-as-large drawing for scaled screens.
    EXPECT_EQ(DecodePng(kLogo2xPng, kLogo2xPng_size).size(), QSize(500, 500));
}

TEST(Logo, BadBytesGiveNoImageAndNoCrash)
{
    EXPECT_TRUE(DecodePng(nullptr, 100).isNull());
    EXPECT_TRUE(DecodePng(kLogoPng, 7).isNull());
    const unsigned char notPng[] = "GIF89a this is not a png image";
    EXPECT_TRUE(DecodePng(notPng, sizeof notPng).isNull());

    // Cut anywhere: the signature alone, inside the header, inside the data.
    for (size_t cut : {size_t{8}, size_t{20}, size_t{40}, kLogoPng_size / 2, kLogoPng_size - 13})
        EXPECT_TRUE(DecodePng(kLogoPng, cut).isNull()) << cut;

    // Damaged image data (the checksums no longer match).
    std::vector<unsigned char> damaged(kLogoPng, kLogoPng + kLogoPng_size);
    for (size_t i = 100; i < damaged.size() - 20; i += 97)
        damaged[i] ^= 0x5A;
    EXPECT_TRUE(DecodePng(damaged.data(), damaged.size()).isNull());
}

TEST(Logo, AbsurdSizesAreRefused)
{
    // A header claiming 100000 x 100000 pixels must not be allocated.
    std::vector<unsigned char> huge(kLogoPng, kLogoPng + kLogoPng_size);
    const unsigned char side[4] = {0x00, 0x01, 0x86, 0xA0};
    std::memcpy(&huge[16], side, 4);
    std::memcpy(&huge[20], side, 4);
    // With a valid header checksum, so that the size itself is what is refused.
    const uLong crc = crc32(0L, &huge[12], 17);
    const unsigned char crcBytes[4] = {static_cast<unsigned char>(crc >> 24), static_cast<unsigned char>(crc >> 16),
                                       static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)};
    std::memcpy(&huge[29], crcBytes, 4);
    EXPECT_TRUE(DecodePng(huge.data(), huge.size()).isNull());
}
