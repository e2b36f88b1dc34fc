#include "HistoryPlot.h"

#include "display/LoudnessGraphPainter.h"
#include "display/geometry/LoudnessGraph.h"

#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <memory>

namespace kerrion::cli {
namespace {

constexpr int kWidth = 1600; // px
constexpr int kHeight = 480; // px

// The shortest span offered that holds every step, or the longest.
int SpanFor(const LoudnessHistory& history)
{
    for (int minutes : kGraphSpans)
        if (history.Steps() <= static_cast<long long>(minutes) * 600)
            return minutes;
    return kGraphSpans.back();
}

} // namespace

bool WriteHistoryPlot(const std::string& path, const LoudnessHistory& history,
    const LoudnessStandard& standard, std::string& error)
{
    // Text needs a Qt application: one is made here, off screen, only for the drawing.
    std::unique_ptr<QGuiApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "kerrion-meter";
        static char* argv[] = { name, nullptr };
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    LoudnessGraphPainter graph;
    graph.Paint(painter, image.rect(), history, standard, SpanFor(history));
    painter.end();
    QImageWriter writer(QString::fromStdString(path), "png");
    if (writer.write(image))
        return true;
    error = writer.errorString().toStdString();
    return false;
}

} // namespace kerrion::cli
