// Where the main window and its meters go: the monitor, the full-screen state, the layout of
// the meters on what the window really gets, and coming forward at a second start.
//
// Under X11 the window sets its own geometry to the monitor under the mouse (on a bare X server
// that is all there is) and also asks for the full-screen state (_NET_WM_STATE_FULLSCREEN), so
// that a window manager with panels or tiling neither shrinks nor covers it. Under Wayland a
// window can neither place itself nor learn where the pointer is: it asks for the full-screen
// state and the compositor puts it on an output (the one the user is on); the meters are laid
// out for the size the window is given.

#include "display/SonaltDlg.h"

#include "app/SettingsRecord.h"
#include "dialogs/ImageButton.h"
#include "display/DlgMeter.h"
#include "display/LoudnessHistoryView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>

namespace {

// The window's size when a single meter stands beside it: 321 x 191 dialog units of the window
// font.
QSize TemplateSize(const QFont& font)
{
    const QFontMetrics metrics(font);
    return { 321 * metrics.averageCharWidth() / 4, 191 * metrics.height() / 8 };
}

// Where a single meter embedded in the window starts: below the tool bar row.
constexpr int kSingleMeterTop = 84;

} // namespace

bool CSonaltDlg::PlatformPlacesWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// The first monitor that holds the mouse cursor, when two or more meters are shown; otherwise,
// or when no monitor holds it, the single meter's own rectangle. Where the pointer cannot be
// known (Wayland), the monitor the window is on, which the compositor chooses.
QRect CSonaltDlg::FindMonitorRect() const
{
    const QRect fallback(0, 0, 1360, 768);
    if (m_settings.Meter.Num < 2)
        return fallback;
    if (!PlatformPlacesWindows()) {
        if (isVisible() && isFullScreen())
            return geometry(); // what the compositor gave, on the output it chose
        return screen() != nullptr ? screen()->geometry() : fallback;
    }
    const QPoint cursor = QCursor::pos();
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->geometry().contains(cursor))
            return screen->geometry();
    return fallback;
}

// The window before its first showing: full screen on the monitor for two or more meters; for
// one, the small window below the meter's rectangle (or, where windows cannot be placed, a
// window holding the meter under its tool bar, sized by the layout).
void CSonaltDlg::PlaceWindow()
{
    if (m_settings.Meter.Num >= 2) {
        ShowOnMonitor(m_monitor);
    } else if (PlatformPlacesWindows()) {
        resize(TemplateSize(font()));
        move(m_monitor.left() + width(), m_monitor.top() + m_monitor.height());
    }
}

// Covers `rect` in the full-screen state. A full-screen window that is to go to another monitor
// leaves the state first: a window manager keeps a full-screen window where it is.
void CSonaltDlg::ShowOnMonitor(const QRect& rect)
{
    if (!PlatformPlacesWindows()) {
        if (!isFullScreen())
            resize(rect.size()); // until the compositor says what the window gets
        setWindowState(windowState() | Qt::WindowFullScreen);
        return;
    }
    if (geometry() == rect && isFullScreen())
        return;
    if (isFullScreen())
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    setGeometry(rect);
    setWindowState(windowState() | Qt::WindowFullScreen);
}

// The meters' layout on `rect`, and where the loudness history graph goes (m_historyArea, in
// the window's coordinates; empty where it is not shown): in the room the meters leave below
// them, or, where they leave too little and Loudness/History asks for it, in a band at the
// bottom that the meters make room for. Only in the full-screen window of two or more meters,
// and only with the loudness shown.
kerrion::MeterLayout CSonaltDlg::LayoutWithHistory(const QRect& rect, int count)
{
    constexpr int kMinHeight = 160; // px: the graph's least useful height
    constexpr int kMargin = 15;     // px: from the screen's edges and the meters
    kerrion::MeterLayout layout = kerrion::ComputeLayout(rect.width(), rect.height(), count);
    m_historyArea = QRect();
    m_historyLaidOutFor = { m_settings.Loudness.Show, m_settings.Loudness.History };
    if (!layout.valid || count < 2 || m_settings.Loudness.Show != 1)
        return layout;
    const auto bottomOf = [count](const kerrion::MeterLayout& l) {
        return kerrion::MeterOrigin(l, count - 1).y + l.h;
    };
    int top = bottomOf(layout) + kMargin;
    if (rect.height() - kMargin - top < kMinHeight) {
        if (m_settings.Loudness.History != 1)
            return layout;
        // The same law on a narrower screen whose meters end above the band, centred, and no
        // nearer the tool bar than they were.
        const int band = std::max(kMinHeight, rect.height() * 3 / 10);
        const int room = rect.height() - band;
        for (int w = rect.width(); w > rect.width() / 4; w -= 8) {
            kerrion::MeterLayout narrower = kerrion::ComputeLayout(w, room, count);
            narrower.offY = std::max(narrower.offY, layout.offY);
            if (bottomOf(narrower) + kMargin <= room) {
                layout = narrower;
                layout.offX += (rect.width() - w) / 2;
                break;
            }
        }
        if (bottomOf(layout) + kMargin > room)
            return layout; // no narrower layout fits: the graph stays away
        top = room;
    }
    m_historyArea = QRect(kMargin, top, rect.width() - 2 * kMargin, rect.height() - kMargin - top);
    return layout;
}

// Two or more meters lie on the full-screen main window as its children: every window manager
// then keeps them above it, the program has one task bar entry, its dialogs and message boxes
// are above the meters, and a frame of all meters reaches the screen in one flush. The window
// follows the monitor it lays them out on. A single meter stands beside the small main window
// as a tool window of its own, owned by it and kept out of the task bar; where windows cannot
// be placed it is part of the main window, under the tool bar, so that the two show together.
void CSonaltDlg::ComputeLayout(const QRect& rect, int count)
{
    const kerrion::MeterLayout layout = LayoutWithHistory(rect, count);
    if (!layout.valid)
        return;
    m_layout = layout;
    const bool single = count < 2;
    const bool embedded = !single || !PlatformPlacesWindows();
    QPoint origin = rect.topLeft();
    if (!single) {
        ShowOnMonitor(rect);
    } else if (embedded) {
        if (isFullScreen())
            setWindowState(windowState() & ~Qt::WindowFullScreen);
        resize(std::max(TemplateSize(font()).width(), layout.w), kSingleMeterTop + layout.h);
        origin = geometry().topLeft() + QPoint(0, kSingleMeterTop);
    } // else the main window stays where it is, as it always has after a change to one meter
    for (int i = 0; i < 8; ++i) {
        CDlgMeter& meter = *m_meters[static_cast<std::size_t>(i)];
        meter.SetDisplayScale(layout.s);
        if (i >= count) {
            meter.hide();
            continue;
        }
        const kerrion::PointI place = kerrion::MeterOrigin(layout, i);
        meter.SetMeterSize(layout.w, layout.h);
        PlaceMeter(meter, embedded, origin + QPoint(place.x, place.y));
    }
    const int right = single && embedded ? width() : rect.width();
    ToolbarButton(IDC_CLOSE).setGeometry(right - 75, 15, 60, 54);
    if (m_history != nullptr) {
        m_history->setGeometry(m_historyArea);
        m_history->setVisible(!m_historyArea.isEmpty());
    }
    if (m_loudness != nullptr)
        PlaceTopRow();
    update();
}

void CSonaltDlg::PlaceMeter(CDlgMeter& meter, bool embedded, const QPoint& screenPos)
{
    if (embedded != !meter.isWindow()) {
        meter.setParent(this, embedded ? Qt::Widget : CDlgMeter::kStandaloneFlags);
        meter.resize(meter.MeterWidth(), meter.MeterHeight());
    }
    meter.move(embedded ? screenPos - geometry().topLeft() : screenPos);
    meter.show();
    meter.raise(); // above the tool bar where a small monitor makes them meet
}

// The window got another size than it asked for (a compositor's full-screen state, a window
// manager's panel): the meters are laid out again for what it has.
void CSonaltDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_faces[0] == nullptr)
        return; // still being set up
    if (m_settings.Meter.Num < 2) {
        // The single meter's window that a compositor sized keeps its close button at the right.
        if (!PlatformPlacesWindows()) {
            ToolbarButton(IDC_CLOSE).move(width() - 75, 15);
            PlaceTopRow();
        }
        return;
    }
    if (event->size() == m_monitor.size())
        return;
    m_monitor = QRect(geometry().topLeft(), event->size());
    Relayout();
}

// The layout of the meters on m_monitor and everything drawn for its scale.
void CSonaltDlg::Relayout()
{
    ComputeLayout(m_monitor, m_settings.Meter.Num);
    RebuildSweepRegion();
    RenderFaces(-1, false);
}

void CSonaltDlg::RaiseStandaloneMeters()
{
    for (CDlgMeter* meter : m_meters)
        if (meter->isWindow() && !meter->isHidden())
            meter->raise();
}

// The compositor of a Wayland desktop grants the activation where it lets programs take the
// focus; the window then comes forward as on X11.
void CSonaltDlg::BringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    RaiseStandaloneMeters(); // with no window manager nothing else keeps them above
    m_queue.PostMessage(WM_SECOND_INSTANCE, 0, 0);
}

// The mouse goes to the start button, where the platform lets a program move it.
void CSonaltDlg::OnSecondInstance()
{
    if (!PlatformPlacesWindows())
        return;
    const CImageButton& start = ToolbarButton(IDC_START);
    QCursor::setPos(start.mapToGlobal(start.rect().center()));
}

// A change of the monitors or their resolutions lays the meters out again, as a settings
// change with this window keeping the focus would.
void CSonaltDlg::WatchDisplayChanges()
{
    const auto changed
        = [this] { m_queue.PostMessage(WM_SETTINGS_CHANGED, reinterpret_cast<intptr_t>(this), 0); };
    const auto watchScreen = [this, changed](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, changed);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watchScreen(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [changed, watchScreen](QScreen* screen) {
        watchScreen(screen);
        changed();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, changed);
}
