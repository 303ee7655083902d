// Draws the program's pictures and writes them as PNG files:
//   logo.png     250 x 250, 8-bit RGB, no transparency (About page)
//   logo_2x.png  500 x 500, the same drawing at twice the resolution, for
//                screens scaled by 2 or more
//   icon.png      32 x 32,  8-bit RGBA (window icon)
//   icon-N.png    N x N, 8-bit RGBA, N = 16, 48, 64, 128, 256 (the desktop's
//                 icon theme, beside icon.png for 32)
// Usage: draw_images OUTPUT_DIR. Run by hand when a picture changes; the
// files it writes are committed, embedded into the program at build time
// (logo.png, icon.png) and installed (the icons).
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const QColor kPage(230, 230, 230);
const QColor kOrange(255, 102, 0);
const QColor kBlue(0, 0, 255);
const QColor kNavy(20, 40, 140);
const QColor kInk(64, 64, 64);

bool WritePng(const std::string& path, const QImage& source, bool alpha)
{
    const QImage image = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, image.constScanLine(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// The emblem: a blue disc holding a grid of register cells, one of them
// orange (a value being written), with signal arcs going out to a server.
void DrawEmblem(QPainter& p, QPointF centre, qreal radius)
{
    QRadialGradient disc(centre - QPointF(radius * 0.35, radius * 0.35), radius * 1.6);
    disc.setColorAt(0.0, QColor(70, 110, 255));
    disc.setColorAt(1.0, kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(centre, radius, radius);

    const qreal cell = radius * 0.26;
    const qreal gap = radius * 0.08;
    const qreal gridWidth = 3 * cell + 2 * gap;
    const QPointF origin = centre - QPointF(gridWidth / 2 + radius * 0.12, gridWidth / 2);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRectF r(origin.x() + col * (cell + gap), origin.y() + row * (cell + gap), cell, cell);
            p.setBrush(row == 1 && col == 2 ? kOrange : QColor(255, 255, 255, 235));
            p.drawRoundedRect(r, cell * 0.18, cell * 0.18);
        }
    }

    QPen arc(kOrange, radius * 0.07, Qt::SolidLine, Qt::RoundCap);
    p.setPen(arc);
    p.setBrush(Qt::NoBrush);
    const QPointF source(origin.x() + gridWidth + gap, centre.y());
    for (int i = 1; i <= 3; ++i) {
        const qreal r = radius * (0.12 + 0.13 * i);
        p.drawArc(QRectF(source.x() - r, source.y() - r, 2 * r, 2 * r), -40 * 16, 80 * 16);
    }
}

QImage DrawLogo(int scale)
{
    QImage image(250 * scale, 250 * scale, QImage::Format_RGB32);
    image.fill(kPage);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    DrawEmblem(p, QPointF(125, 98), 78);

    QFont title("DejaVu Sans");
    title.setPixelSize(27);
    title.setBold(true);
    p.setFont(title);
    p.setPen(kNavy);
    p.drawText(QRectF(0, 186, 250, 34), Qt::AlignCenter, "Sorbel-Client");

    QFont subtitle("DejaVu Sans");
    subtitle.setPixelSize(13);
    p.setFont(subtitle);
    p.setPen(kInk);
    p.drawText(QRectF(0, 218, 250, 22), Qt::AlignCenter, "Modbus/TCP test client");

    p.setPen(QPen(kOrange, 2));
    p.drawLine(QPointF(70, 243), QPointF(180, 243));
    return image;
}

// Drawn afresh for each size rather than scaled, so that small sizes stay sharp.
QImage DrawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawEmblem(p, QPointF(size / 2.0, size / 2.0), size * 15.5 / 32);
    return image;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const std::string dir = argv[1];
    bool written = WritePng(dir + "/logo.png", DrawLogo(1), false) &&
                   WritePng(dir + "/logo_2x.png", DrawLogo(2), false) &&
                   WritePng(dir + "/icon.png", DrawIcon(32), true);
    for (int size : {16, 48, 64, 128, 256})
        written = written && WritePng(dir + "/icon-" + std::to_string(size) + ".png", DrawIcon(size), true);
    if (!written) {
        std::fprintf(stderr, "draw_images: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
