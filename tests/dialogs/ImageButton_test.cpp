#include "dialogs/ImageButton.h"

#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kStart[] = { 154, 155, 156, 154 };
constexpr int kMissing = 999;

// A parent that paints itself a solid colour, standing for the main window's background.
class Backdrop : public QWidget {
public:
    QColor color = QColor(200, 30, 40);

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), color); }
};

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

QRgb Opaque(const QImage& image, int x, int y) { return image.pixel(x, y) | 0xFF000000u; }

TEST(ImageButton, PremultipliesWithTruncatingDivision)
{
    QImage straight(3, 1, QImage::Format_ARGB32);
    straight.setPixel(0, 0, qRgba(255, 0, 0, 128));
    straight.setPixel(1, 0, qRgba(100, 200, 7, 51));
    straight.setPixel(2, 0, qRgba(255, 255, 255, 0));
    const QImage pre = CImageButton::Premultiply(straight);
    ASSERT_EQ(pre.format(), QImage::Format_ARGB32_Premultiplied);
    const auto* px = reinterpret_cast<const QRgb*>(pre.constScanLine(0));
    EXPECT_EQ(px[0], qRgba(128, 0, 0, 128));
    EXPECT_EQ(px[1], qRgba(20, 40, 1, 51));
    EXPECT_EQ(px[2], qRgba(0, 0, 0, 0));
}

TEST(ImageButton, EveryToolBarImageIsBuiltIn)
{
    for (int id = 151; id <= 162; ++id) {
        const QImage image = CImageButton::LoadPngResource(id);
        ASSERT_FALSE(image.isNull()) << id;
        EXPECT_EQ(image.size(), QSize(60, 54)) << id;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << id;     // transparent corner
        EXPECT_EQ(qAlpha(image.pixel(30, 27)), 255) << id; // opaque picture
    }
    EXPECT_TRUE(CImageButton::LoadPngResource(kMissing).isNull());
    // The pressed picture is darker, the disabled one grey.
    const QImage normal = CImageButton::LoadPngResource(154);
    const QImage pressed = CImageButton::LoadPngResource(155);
    const QImage disabled = CImageButton::LoadPngResource(156);
    EXPECT_LT(qGray(pressed.pixel(30, 27)), qGray(normal.pixel(30, 27)));
    const QRgb grey = disabled.pixel(20, 27);
    EXPECT_EQ(qRed(grey), qGreen(grey));
    EXPECT_EQ(qGreen(grey), qBlue(grey));
}

TEST(ImageButton, LoadingTakesTheNormalImagesSizeAndKeepsThePosition)
{
    CImageButton button;
    button.setGeometry(100, 40, 200, 30);
    EXPECT_TRUE(button.LoadImages(kStart[0], kStart[1], kStart[2], kStart[3]));
    EXPECT_TRUE(button.IsOwnerDrawn());
    EXPECT_EQ(button.geometry(), QRect(100, 40, 60, 54));
}

TEST(ImageButton, MissingImagesFailTheLoad)
{
    CImageButton plain;
    plain.setGeometry(0, 0, 90, 30);
    EXPECT_FALSE(plain.LoadImages(kMissing, 155, 156, 154));
    EXPECT_FALSE(plain.IsOwnerDrawn());
    EXPECT_EQ(plain.size(), QSize(90, 30));
    EXPECT_TRUE(plain.Image(CImageButton::kPressed).isNull()); // nothing else was loaded

    CImageButton partial;
    EXPECT_FALSE(partial.LoadImages(154, 155, kMissing, 154));
    EXPECT_TRUE(partial.IsOwnerDrawn());
    EXPECT_EQ(partial.size(), QSize(60, 54));
    EXPECT_TRUE(partial.Image(CImageButton::kDisabled).isNull());
}

class ImageButtonOnBackdrop : public ::testing::Test {
protected:
    void SetUp() override
    {
        backdrop.resize(200, 100);
        button = new CImageButton(&backdrop);
        button->move(20, 10);
        ASSERT_TRUE(button->LoadImages(kStart[0], kStart[1], kStart[2], kStart[3]));
        backdrop.show();
    }

    QImage Shown() { return button->grab().toImage(); }

    Backdrop backdrop;
    CImageButton* button = nullptr;
};

TEST_F(ImageButtonOnBackdrop, EachStateShowsItsImageOverTheBackground)
{
    const QImage normal = Shown();
    EXPECT_EQ(Opaque(normal, 0, 0), backdrop.color.rgb()); // the snapshot behind the corner
    EXPECT_EQ(Opaque(normal, 10, 27), Opaque(button->Image(CImageButton::kNormal), 10, 27));

    button->setDown(true);
    EXPECT_EQ(Opaque(Shown(), 10, 27), Opaque(button->Image(CImageButton::kPressed), 10, 27));
    button->setDown(false);

    button->setEnabled(false);
    EXPECT_EQ(Opaque(Shown(), 30, 27), Opaque(button->Image(CImageButton::kDisabled), 30, 27));
    button->setEnabled(true);

    // The snapshot is kept from the first drawing.
    backdrop.color = Qt::blue;
    EXPECT_EQ(Opaque(Shown(), 0, 0), QColor(200, 30, 40).rgb());
}

TEST_F(ImageButtonOnBackdrop, HoverFollowsTheMouse)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 27), QPointF(50, 37), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &move);
    EXPECT_TRUE(WaitFor([&] { return button->Hover() == 1; }, 1000));
    EXPECT_EQ(Opaque(Shown(), 10, 27), Opaque(button->Image(CImageButton::kHover), 10, 27));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_EQ(button->Hover(), 0);
}

TEST_F(ImageButtonOnBackdrop, CaptionIsCentredInTheTextColour)
{
    button->setText(QStringLiteral("ABC"));
    button->SetTextColor(QColor(0, 255, 0));
    const QImage shown = Shown();
    int green = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            green += shown.pixel(x, y) == qRgb(0, 255, 0) ? 1 : 0;
    EXPECT_GT(green, 10);
}

} // namespace
