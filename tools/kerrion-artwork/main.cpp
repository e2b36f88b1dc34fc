// kerrion-artwork: draws the built-in images (tool bar buttons and logo) as PNG files.
// Usage: kerrion-artwork OUTPUT_DIR   (run with QT_QPA_PLATFORM=offscreen on a machine without a
// display; scripts/make-artwork.sh does both). The pictures are kept in resources/images so that
// builds need not run this; change the drawing here and run it again to change them.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 54;
constexpr int kLogoWidth = 643;
constexpr int kLogoHeight = 94;

using Picture = std::function<void(QPainter&)>;

void DrawTile(QPainter& p)
{
    QPainterPath tile;
    tile.addRoundedRect(QRectF(2.5, 2.5, 55, 49), 9, 9);
    QLinearGradient fill(0, 2, 0, 52);
    fill.setColorAt(0.0, QColor(70, 76, 86));
    fill.setColorAt(1.0, QColor(24, 27, 32));
    p.fillPath(tile, fill);
    p.setPen(QPen(QColor(110, 118, 130), 1.0));
    p.drawPath(tile);
}

void DrawRoundButton(QPainter& p)
{
    DrawTile(p);
    QRadialGradient cap(QPointF(26, 21), 22);
    cap.setColorAt(0.0, QColor(200, 250, 255));
    cap.setColorAt(0.6, QColor(96, 214, 236));
    cap.setColorAt(1.0, QColor(30, 150, 180));
    p.setPen(QPen(QColor(20, 90, 110), 1.2));
    p.setBrush(cap);
    p.drawEllipse(QPointF(30, 27), 18, 18);
}

void DrawPlay(QPainter& p)
{
    DrawRoundButton(p);
    QPolygonF triangle;
    triangle << QPointF(25, 18) << QPointF(25, 36) << QPointF(39, 27);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(triangle);
}

void DrawStop(QPainter& p)
{
    DrawRoundButton(p);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(22.5, 19.5, 15, 15), 1.5, 1.5);
}

void DrawGear(QPainter& p)
{
    DrawTile(p);
    constexpr int kTeeth = 9;
    const QPointF centre(30, 27);
    QPainterPath gear;
    for (int i = 0; i < kTeeth * 4; ++i) {
        // Each tooth: two points on the outer radius, two on the root radius.
        const double a = (i - 0.5) * 2.0 * std::numbers::pi / (kTeeth * 4);
        const double r = (i % 4 == 0 || i % 4 == 1) ? 19.0 : 14.5;
        const QPointF pt(centre.x() + r * std::cos(a), centre.y() + r * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(centre, 5.5, 5.5);
    gear.setFillRule(Qt::OddEvenFill);
    QLinearGradient silver(12, 8, 48, 46);
    silver.setColorAt(0.0, QColor(245, 247, 250));
    silver.setColorAt(0.5, QColor(170, 176, 184));
    silver.setColorAt(1.0, QColor(225, 228, 232));
    p.setPen(QPen(QColor(90, 95, 102), 1.0));
    p.setBrush(silver);
    p.drawPath(gear);
}

void DrawCross(QPainter& p)
{
    DrawTile(p);
    p.setPen(QPen(QColor(225, 230, 235), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20, 17), QPointF(40, 37));
    p.drawLine(QPointF(40, 17), QPointF(20, 37));
}

QImage Render(const Picture& picture)
{
    QImage image(kButtonWidth, kButtonHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    picture(p);
    return image;
}

// The pressed look: the same picture, darker.
QImage Darker(QImage image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            line[x] = qRgba(qRed(c) * 6 / 10, qGreen(c) * 6 / 10, qBlue(c) * 6 / 10, qAlpha(c));
        }
    }
    return image;
}

// The disabled look: grey, flattened towards the middle.
QImage Greyed(QImage image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            const int grey = 70 + qGray(c) * 45 / 100;
            line[x] = qRgba(grey, grey, grey, qAlpha(c));
        }
    }
    return image;
}

QImage Logo()
{
    QImage image(kLogoWidth, kLogoHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(28, 44, 70);
    // Emblem: a small meter arc with a needle.
    p.setPen(QPen(ink, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(10, 14, 90, 90), 35 * 16, 110 * 16);
    p.setPen(QPen(QColor(210, 40, 30), 6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(10, 14, 90, 90), 35 * 16, 30 * 16);
    p.setPen(QPen(ink, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(55, 82), QPointF(80, 26));
    p.setBrush(ink);
    p.drawEllipse(QPointF(55, 82), 6, 6);

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(62);
    title.setWeight(QFont::Bold);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 6);
    p.setFont(title);
    p.setPen(ink);
    p.drawText(QPointF(122, 66), QStringLiteral("KERRION"));
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(20);
    sub.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(sub);
    p.drawText(QPointF(126, 90), QStringLiteral("AUDIO LEVEL METER"));
    return image;
}

// The program's icon: a meter face with its scale, red band and needle, 256 x 256.
QImage Icon()
{
    QImage image(256, 256, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(35, 35, 35), 10));
    p.setBrush(QColor(236, 255, 172));
    p.drawRoundedRect(QRectF(12, 40, 232, 176), 22, 22);
    const QRectF arc(28, 78, 200, 200);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 64), 8, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(arc, 65 * 16, 65 * 16);
    p.setPen(QPen(QColor(255, 0, 0), 12, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(arc, 40 * 16, 25 * 16);
    p.setPen(QPen(QColor(0, 0, 0), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(128, 200), QPointF(170, 92));
    return image;
}

bool Save(const QImage& image, const QDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "kerrion-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kerrion-artwork OUTPUT_DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path()))
        return 1;
    struct Button {
        const char* name;
        Picture picture;
    };
    const Button buttons[] = { { "start", DrawPlay }, { "stop", DrawStop },
        { "settings", DrawGear }, { "close", DrawCross } };
    bool ok = true;
    for (const Button& b : buttons) {
        const QImage normal = Render(b.picture);
        const QString stem = QString::fromLatin1(b.name);
        ok = Save(normal, dir, stem + "-normal.png") && ok;
        ok = Save(Darker(normal), dir, stem + "-pressed.png") && ok;
        ok = Save(Greyed(normal), dir, stem + "-disabled.png") && ok;
    }
    ok = Save(Logo(), dir, QStringLiteral("logo.png")) && ok;
    ok = Save(Icon(), dir, QStringLiteral("kerrion.png")) && ok;
    return ok ? 0 : 1;
}
