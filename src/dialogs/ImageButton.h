#pragma once

// A push button drawn entirely from four PNG images (normal, pressed, disabled, hover), blended
// with per-pixel transparency over what lay behind it when it was first drawn. The tool bar of
// the main window is made of these. User-interface thread only.

#include <QBasicTimer>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPushButton>

#include <array>

class CImageButton : public QPushButton {
    Q_OBJECT

public:
    enum ImageIndex { kNormal = 0, kPressed, kDisabled, kHover, kImageCount };

    explicit CImageButton(QWidget* parent = nullptr);
    ~CImageButton() override;

    // Loads the four built-in PNG images by resource number. Returns true only when all four
    // loaded. A missing normal image fails at once and leaves an ordinary push button; otherwise
    // the button takes the normal image's size (its position stays) and draws itself, with no
    // image in a state whose image is missing.
    bool LoadImages(int normalId, int pressedId, int disabledId, int hoverId);

    void SetTextColor(const QColor& color) { m_textColor = color; }
    bool IsOwnerDrawn() const { return m_ownerDraw; }
    int Hover() const { return m_hover; }
    const QImage& Image(ImageIndex index) const { return m_images[index]; }

    // A built-in PNG image, premultiplied; a null image when it is missing or cannot be decoded.
    static QImage LoadPngResource(int id);

    // Straight alpha -> premultiplied: each colour becomes value x alpha / 255 (truncating).
    static QImage Premultiply(const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    const QImage& ChosenImage() const;
    void TakeBackgroundSnapshot();

    std::array<QImage, kImageCount> m_images; // premultiplied; null where loading failed
    QPixmap m_background;                     // what lay under the button at its first drawing
    bool m_snapshotTaken = false;
    bool m_ownerDraw = false;
    int m_hover = 0; // 1 while the mouse rests on the button
    QColor m_textColor = Qt::black;
    QBasicTimer m_hoverTimer; // the hover notice, 1 ms after a move
};
