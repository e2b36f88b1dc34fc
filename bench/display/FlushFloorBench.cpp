// The least a Qt Widgets window can cost while it shows moving needles the way the main window
// does, without any of Kerrion's drawing: a full-screen window with eight child widgets, each
// repainting at 30 frames a second a moving band region of the size a moving meter repaints (a
// dozen bands of 16 lines, about 7000 pixels, where the last frame's region and this frame's
// meet), painted with a plain fill. Prints the CPU of the process and of the X server. What the
// main window costs above this is its own drawing and level handling; this much is Qt's
// repaint, backing store and flush machinery and the X server's work for the pixels.
//
//   FlushFloorBench [SECONDS] [--fps RATE] [--children N]
//
// Runs on the X server named by DISPLAY (or offscreen without one).

#include "ProcessTimes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kBandLines = 16;
constexpr int kBands = 12;
constexpr int kMargin = 12; // pixels beside a line, as wide as a meter's bands come out

long long g_paints = 0;
long long g_rects = 0;
long long g_pixels = 0;

// A needle's damage: bands along a line from a pivot at `angle`, each as wide as the line's
// reach within it and a margin, starting `first` bands above the pivot.
QRegion NeedleBands(const QSize& size, double angle, int first)
{
    QRegion region;
    const double pivotX = size.width() / 2.0;
    const double pivotY = size.height() - 10.0;
    for (int band = first; band < first + kBands / 2; ++band) {
        const double y0 = pivotY - (band + 1) * kBandLines;
        const double x0 = pivotX + std::tan(angle) * (pivotY - y0 - kBandLines);
        const double x1 = pivotX + std::tan(angle) * (pivotY - y0);
        const int left = static_cast<int>(std::min(x0, x1)) - kMargin;
        const int right = static_cast<int>(std::max(x0, x1)) + kMargin;
        region += QRect(left, static_cast<int>(y0), right - left, kBandLines);
    }
    return region;
}

class MovingPanel final : public QWidget {
public:
    MovingPanel(QWidget* parent, double phase)
        : QWidget(parent)
        , m_phase(phase)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    // The old needle's place and the new one's, and a second moving part further out (the
    // peak bar's end), as a meter repaints them.
    void Step()
    {
        const double old = Angle();
        ++m_frame;
        update(NeedleBands(size(), old, 0) + NeedleBands(size(), Angle(), 0)
            + NeedleBands(size(), -old, 6) + NeedleBands(size(), -Angle(), 6));
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++g_paints;
        g_rects += event->region().rectCount();
        for (const QRect& rect : event->region())
            g_pixels += static_cast<long long>(rect.width()) * rect.height();
        QPainter painter(this);
        painter.fillRect(event->region().boundingRect(), (m_frame & 1) ? Qt::darkGray : Qt::gray);
    }

private:
    double Angle() const { return 0.6 * std::sin(m_phase + m_frame * 0.05); }

    double m_phase;
    long m_frame = 0;
};

struct Options {
    int seconds = 10;
    int fps = 30;
    int children = 8;
};

Options Parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fps" && i + 1 < argc)
            options.fps = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--children" && i + 1 < argc)
            options.children = std::max(1, std::atoi(argv[++i]));
        else
            options.seconds = std::max(1, std::atoi(arg.c_str()));
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = Parse(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setAttribute(Qt::WA_OpaquePaintEvent);
    window.setGeometry(0, 0, 1920, 1080);
    std::vector<MovingPanel*> panels;
    const int columns = options.children > 1 ? 4 : 1;
    const int rows = (options.children + columns - 1) / columns;
    for (int i = 0; i < options.children; ++i) {
        auto* panel = new MovingPanel(&window, i * 0.7);
        panel->setGeometry((i % columns) * 1920 / columns, (i / columns) * 1080 / rows,
            1920 / columns - 8, 1080 / rows - 8);
        panels.push_back(panel);
    }
    window.show();

    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    QObject::connect(&frames, &QTimer::timeout, [&] {
        for (MovingPanel* panel : panels)
            panel->Step();
    });
    frames.start(static_cast<int>(std::lround(1000.0 / options.fps)));
    QElapsedTimer warmUp;
    warmUp.start();
    while (warmUp.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    const double cpuBefore = kerrion::bench::ProcessCpuSeconds();
    const std::optional<double> xBefore = kerrion::bench::XServerCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    g_paints = g_rects = g_pixels = 0;
    QTimer::singleShot(options.seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double wall = clock.elapsed() / 1000.0;
    const double cpu = kerrion::bench::ProcessCpuSeconds() - cpuBefore;
    const std::optional<double> xAfter = kerrion::bench::XServerCpuSeconds();
    std::printf("Qt flush floor: %d child widgets, %d frames/s, %.1f s on %s\n", options.children,
        options.fps, wall, qPrintable(QGuiApplication::platformName()));
    std::printf("process CPU:   %6.2f%% of one core\n", 100.0 * cpu / wall);
    if (xBefore && xAfter)
        std::printf("X server CPU:  %6.2f%% of one core; program + X server %.2f%%\n",
            100.0 * (*xAfter - *xBefore) / wall, 100.0 * (cpu + *xAfter - *xBefore) / wall);
    if (g_paints > 0)
        std::printf("paints: %.1f /s, %.1f rectangles and %.0f pixels each\n", g_paints / wall,
            static_cast<double>(g_rects) / g_paints, static_cast<double>(g_pixels) / g_paints);
    return 0;
}
