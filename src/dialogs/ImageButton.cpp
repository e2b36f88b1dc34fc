#include "dialogs/ImageButton.h"

#include "KerrionResources.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

namespace {

constexpr int kHoverDelayMs = 1;

} // namespace

CImageButton::CImageButton(QWidget* parent)
    : QPushButton(parent)
{
    setMouseTracking(true);
}

CImageButton::~CImageButton() = default;

QImage CImageButton::Premultiply(const QImage& image)
{
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    QImage out(straight.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < straight.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < straight.width(); ++x) {
            const QRgb c = src[x];
            const int a = qAlpha(c);
            dst[x] = qRgba(qRed(c) * a / 255, qGreen(c) * a / 255, qBlue(c) * a / 255, a);
        }
    }
    return out;
}

QImage CImageButton::LoadPngResource(int id)
{
    KerrionInitResources();
    QFile file(QStringLiteral(":/kerrion/png/%1.png").arg(id));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return {};
    const QImage decoded = QImage::fromData(bytes, "PNG");
    if (decoded.isNull())
        return {};
    return Premultiply(decoded);
}

bool CImageButton::LoadImages(int normalId, int pressedId, int disabledId, int hoverId)
{
    QImage normal = LoadPngResource(normalId);
    if (normal.isNull())
        return false;
    m_images[kNormal] = std::move(normal);
    m_images[kPressed] = LoadPngResource(pressedId);
    m_images[kDisabled] = LoadPngResource(disabledId);
    m_images[kHover] = LoadPngResource(hoverId);
    resize(m_images[kNormal].size());
    m_ownerDraw = true;
    update();
    return !m_images[kPressed].isNull() && !m_images[kDisabled].isNull()
        && !m_images[kHover].isNull();
}

const QImage& CImageButton::ChosenImage() const
{
    if (!isEnabled())
        return m_images[kDisabled];
    if (isDown())
        return m_images[kPressed];
    if (m_hover == 1)
        return m_images[kHover];
    return m_images[kNormal];
}

void CImageButton::TakeBackgroundSnapshot()
{
    m_snapshotTaken = true;
    m_background = QPixmap(m_images[kNormal].size());
    m_background.fill(Qt::transparent);
    QWidget* under = parentWidget();
    if (under == nullptr)
        return;
    // The parent's own drawing beneath the button, without its children (this button included).
    under->render(&m_background, QPoint(), QRegion(QRect(pos(), m_background.size())),
        QWidget::DrawWindowBackground);
}

void CImageButton::paintEvent(QPaintEvent* event)
{
    if (!m_ownerDraw) {
        QPushButton::paintEvent(event);
        return;
    }
    if (!m_snapshotTaken)
        TakeBackgroundSnapshot();
    QPainter painter(this);
    const QImage& image = ChosenImage();
    if (!image.isNull()) {
        painter.drawPixmap(QPoint(0, 0), m_background, QRect(QPoint(0, 0), image.size()));
        painter.drawImage(QPoint(0, 0), image);
    }
    if (!text().isEmpty()) {
        painter.setFont(font());
        painter.setPen(m_textColor);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    }
}

void CImageButton::mouseMoveEvent(QMouseEvent* event)
{
    m_hoverTimer.start(kHoverDelayMs, this);
    QPushButton::mouseMoveEvent(event);
}

void CImageButton::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_hoverTimer.timerId()) {
        QPushButton::timerEvent(event);
        return;
    }
    m_hoverTimer.stop();
    if (m_hover == 0) {
        m_hover = 1;
        update();
    }
}

void CImageButton::leaveEvent(QEvent* event)
{
    m_hoverTimer.stop();
    if (m_hover == 1) {
        m_hover = 0;
        update();
    }
    QPushButton::leaveEvent(event);
}
