#include "display/SonaltDlg.h"

#include "app/SettingsRecord.h"
#include "dialogs/ImageButton.h"
#include "display/DlgMeter.h"
#include "display/DrawFace.h"
#include "display/LoudnessHistoryView.h"
#include "display/LoudnessReadout.h"
#include "display/MeterFaceSurface.h"
#include "display/MeterSetup.h"
#include "display/QtShapes.h"
#include "display/geometry/FaceGeometry.h"
#include "display/geometry/LevelReading.h"
#include "display/geometry/NeedleScale.h"
#include "display/geometry/ScaleLaw.h"
#include "platform/messages/QtMessagePump.h"

#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QTableWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Counts the blocks whose levels were announced, across runs of the engine, as one counter for
// the whole process.
uint64_t g_levelCounter = 0;

const QColor kBackground(35, 35, 35);

// Needles are repainted at most Meter/FrameRate times a second (30 unless set by hand: smooth for
// VU ballistics of 300 ms and cheap at 750 blocks a second); a reading takes the peaks of every
// block since the one before, so no peak is lost between two frames.
//
// The engine has one level message at most waiting (it posts the next once this window has taken
// the last back), and waking for every block would cost more than the metering. Messages that
// arrive while one is handled are delivered together once a frame, just before the frame is
// painted; a lone message (start, stop, the levels of a long block) is delivered at once. So
// while metering the window wakes about once a frame, and its queue never fills.
int FrameIntervalMs(int frameRate) { return static_cast<int>(std::lround(1000.0 / frameRate)); }

} // namespace

CSonaltDlg::CSonaltDlg(CSettingsRecord& settings, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral("Kerrion"));
    setWindowIcon(QIcon(QStringLiteral(":/kerrion/icon.png")));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_repaintTimer, &QTimer::timeout, this, &CSonaltDlg::RepaintNeedles);
    m_awaitTimer.setInterval(1000);
    connect(&m_awaitTimer, &QTimer::timeout, this, &CSonaltDlg::OnAwaitTick);
    m_logTimer.setInterval(1000);
    connect(&m_logTimer, &QTimer::timeout, this, &CSonaltDlg::OnLogTick);
    m_pump
        = std::make_unique<CQtMessagePump>(m_queue, [this](const CMessageQueue::Message& message) {
              WindowProc(message.message, message.wParam, message.lParam);
          });
    m_frameIntervalMs = FrameIntervalMs(std::clamp(settings.Meter.FrameRate, 10, 60));
    m_pump->SetBatchInterval(m_frameIntervalMs);
    ClearFramePeaks();
    OnInitDialog();
}

CSonaltDlg::~CSonaltDlg()
{
    // The engine's worker posts into m_queue: it must be stopped while the queue exists.
    m_engine->StopEngine();
    m_engine.reset();
    for (CDlgMeter*& meter : m_meters) {
        delete meter;
        meter = nullptr;
    }
}

void CSonaltDlg::OnInitDialog()
{
    for (CDlgMeter*& meter : m_meters)
        meter = new CDlgMeter(this);

    m_monitor = FindMonitorRect();
    PlaceWindow();
    CreateToolbar();
    CreateHiddenControls();
    for (CDlgMeter* meter : m_meters)
        meter->hide();

    ComputeLayout(m_monitor, m_settings.Meter.Num);
    RenderFaces(-1, true);
    RebuildSweepRegion();

    m_engine = std::make_unique<CSndIOPlayList>();
    m_engine->SetVUFilter(m_settings.BWLPF.cutoff, m_settings.BWLPF.order);
    m_running = 0;
    for (int i = 0; i < 8; ++i) {
        m_channelMap[static_cast<std::size_t>(i)]
            = m_settings.Channel[static_cast<std::size_t>(i)].device_ch;
        m_calVu[static_cast<std::size_t>(i)]
            = m_settings.Channel[static_cast<std::size_t>(i)].cal_vu;
    }
    ProbeDevice();
    const int hold = m_settings.PeakHold.type;
    for (int i = 0; i < 3; ++i)
        m_holdChoice[static_cast<std::size_t>(i)]->setChecked(i == hold);
    FillMeterList();
    m_queue.PostMessage(WM_SECOND_INSTANCE, 0, 0); // the cursor goes to the start button
    for (int i = 0; i < std::min(m_settings.Meter.Num, 8); ++i) {
        m_meters[static_cast<std::size_t>(i)]->show();
        m_meters[static_cast<std::size_t>(i)]->SetDisplayOn(1);
    }
    WatchDisplayChanges();
}

void CSonaltDlg::CreateToolbar()
{
    struct ToolbarEntry {
        int id;
        int images[4]; // normal, pressed, disabled, hover
        QPoint pos;
    };
    const ToolbarEntry entries[] = {
        { IDC_START, { 154, 155, 156, 154 }, { 15, 15 } },
        { IDC_STOP, { 157, 158, 159, 157 }, { 15, 15 } },
        { IDC_SETTINGS, { 151, 152, 153, 151 }, { 80, 15 } },
        { IDC_CLOSE, { 160, 161, 162, 160 }, { m_monitor.width() - 75, 15 } },
    };
    for (std::size_t i = 0; i < m_toolbar.size(); ++i) {
        const ToolbarEntry& entry = entries[i];
        auto* button = new CImageButton(this);
        button->setAutoDefault(false); // Enter presses nothing: it never closes the window
        button->setGeometry(entry.pos.x(), entry.pos.y(), 60, 54);
        button->LoadImages(entry.images[0], entry.images[1], entry.images[2], entry.images[3]);
        button->move(entry.pos);
        connect(button, &QPushButton::clicked, this, [this, id = entry.id] { OnCommand(id); });
        m_toolbar[i] = button;
    }
    ToolbarButton(IDC_STOP).hide();
    ToolbarButton(IDC_START).show();

    m_report = new QLabel(this);
    m_report->setGeometry(150, 15, 900, 54);
    m_report->setStyleSheet(QStringLiteral("color: rgb(255, 128, 0);"));
    m_report->setFont(kerrion::MeterFont(20));
    m_loudness = new CLoudnessReadout(this);
    connect(m_loudness, &CLoudnessReadout::ResetRequested, this, [this] {
        m_engine->ResetLoudnessR128();
        LogLoudnessEvent("reset");
    });
    m_history = new CLoudnessHistoryView(this);
    m_history->hide(); // until the layout gives it room
    ApplyLoudnessSettings();
}

kerrion::LoudnessStandard CSonaltDlg::ChosenStandard() const
{
    kerrion::LoudnessStandardId id = kerrion::LoudnessStandardId::Arib;
    kerrion::LoudnessStandard::Parse(m_settings.Loudness.Standard, id);
    return kerrion::LoudnessStandard::Of(
        id, m_settings.Loudness.Target, m_settings.Loudness.TruePeakLimit);
}

void CSonaltDlg::ApplyLoudnessSettings()
{
    const kerrion::LoudnessStandard standard = ChosenStandard();
    m_loudness->SetStandard(standard);
    m_loudness->setVisible(m_settings.Loudness.Show == 1);
    m_history->SetStandard(standard);
    m_history->SetSpan(m_settings.Loudness.HistoryMinutes);
    PlaceTopRow();
    // Showing the loudness, or asking the meters to make room for the graph, lays them out anew.
    const std::pair laidOutFor { m_settings.Loudness.Show, m_settings.Loudness.History };
    if (m_faces[0] != nullptr && laidOutFor != m_historyLaidOutFor && m_settings.Meter.Num >= 2)
        Relayout();
}

// The readout stands before the close button; where the window is too narrow for it there (one
// meter beside the window at its template size) it goes under the tool bar. The report of a
// failed run takes what is left of the row.
void CSonaltDlg::PlaceTopRow()
{
    const int left = 150;
    const int right = std::min(width(), ToolbarButton(IDC_CLOSE).x()) - 10;
    if (m_loudness->Fits(right - left))
        m_loudness->Place(QRect(left, 15, right - left, 54));
    else
        m_loudness->Place(QRect(15, 80, std::max(0, width() - 30), 54));
    const bool inRow = !m_loudness->isHidden() && m_loudness->y() < 80;
    const int reportRight = inRow ? m_loudness->x() - 10 : left + 900;
    m_report->setGeometry(left, 15, std::max(0, reportRight - left), 54);
}

// What the engine needs to know of the settings before a run: the loudness programme's meters
// and each meter's needle type (the one its face shows; a later change reaches the engine as the
// face is drawn again, metering or not).
void CSonaltDlg::PrepareEngine()
{
    kerrion::LoudnessLayout layout = kerrion::LoudnessLayout::Stereo;
    kerrion::ParseLayout(m_settings.Loudness.Layout, layout);
    m_engine->SetLoudnessLayout(layout);
    for (std::size_t i = 0; i < m_faceTypes.size(); ++i)
        m_engine->SetNeedleType(static_cast<int>(i), m_faceTypes[i]);
}

// Controls that hold state but are never shown: the peak hold choice and the meter summary.
void CSonaltDlg::CreateHiddenControls()
{
    for (std::size_t i = 0; i < m_holdChoice.size(); ++i) {
        m_holdChoice[i] = new QRadioButton(this);
        m_holdChoice[i]->hide();
    }
    m_list = new QTableWidget(8, 5, this);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setShowGrid(true);
    m_list->horizontalHeader()->hide();
    m_list->verticalHeader()->hide();
    const int widths[] = { 20, 53, 52, 42, 60 };
    const int dpi = logicalDpiX();
    for (int column = 0; column < 5; ++column)
        m_list->setColumnWidth(column, widths[column] * dpi / 96);
    connect(m_list, &QTableWidget::cellDoubleClicked, this,
        [this](int row, int) { OnMeterSettings(row); });
    m_list->hide();
}

CImageButton& CSonaltDlg::ToolbarButton(int id) const
{
    switch (id) {
    case IDC_START:
        return *m_toolbar[0];
    case IDC_STOP:
        return *m_toolbar[1];
    case IDC_SETTINGS:
        return *m_toolbar[2];
    default:
        return *m_toolbar[3];
    }
}

// Renders every meter's static face; sets every meter up from the record at start-up, and
// afterwards only what a settings change may touch (a meter's name and indicator only when it
// is `reloadMeter`).
void CSonaltDlg::RenderFaces(int reloadMeter, bool initial)
{
    for (int i = 0; i < 8; ++i) {
        const auto index = static_cast<std::size_t>(i);
        const QSize size = MeterFaceSurface::SizeFor(
            m_settings.Meter.Size_w, m_settings.Meter.Size_h, m_layout.s);
        if (!m_faces[index] || m_faces[index]->Image().size() != size)
            m_faces[index] = std::make_unique<MeterFaceSurface>(size.width(), size.height());
        const ColorSet& colors = kerrion::ActiveColorSet(m_settings, i);
        m_faceTypes[index] = kerrion::ParseNeedleType(m_settings.Channel[index].meter_type);
        if (m_engine)
            m_engine->SetNeedleType(i, m_faceTypes[index]);
        kerrion::DrawFace(*m_faces[index], colors, m_layout.s, m_settings, m_faceTypes[index]);
        CDlgMeter& meter = *m_meters[index];
        meter.SetFaceSurface(m_faces[index].get());
        if (initial) {
            kerrion::ApplyMeterSettings(meter, m_settings, i, m_faces[index].get());
        } else {
            meter.SetVisible(m_settings.Visible.vu, m_settings.Visible.peak);
            meter.SetColors(colors);
            meter.SetNeedle(
                m_settings.Needle.type, m_settings.Needle.thick, m_settings.Needle.only_upper);
            if (i == reloadMeter) {
                const auto& channel = m_settings.Channel[index];
                meter.SetName(channel.name_visible == 1 ? channel.name : std::string(),
                    channel.name_visible == 1 ? channel.name_pos : 0);
                meter.SetOverIndicator(
                    channel.over_enable, kerrion::PeakDbToScalePos(channel.over_th));
            }
        }
        meter.update();
    }
}

void CSonaltDlg::RebuildSweepRegion()
{
    m_painted.fill(NeedleState {}); // faces and regions changed: the next frame draws all
    m_sweepRegion = kerrion::ToQRegion(
        kerrion::NeedleSweepRegion(m_settings.Needle.type, m_settings.Needle.thick,
            m_settings.Needle.only_upper != 0, m_settings.Dump.enable == 1, m_layout.s));
}

// One level message stands for every block stored since the previous one was taken back (at
// least one: a message left from an earlier run counts as one). Meter/Refresh takes up every
// Refresh-th block's reading: the levels are read when the count passes a multiple of it, and
// the peaks of the blocks in between are folded into that reading.
void CSonaltDlg::OnLevels()
{
    const int64_t blocks = std::max<int64_t>(1, m_engine->TakeLevelBlocks());
    const CSndIOPlayList::Counters counters = m_engine->GetCounters();
    const double blockRate
        = counters.blockFrames > 0 ? counters.sampleRate / counters.blockFrames : 0.0;
    const auto refresh
        = static_cast<uint64_t>(kerrion::ReadingInterval(m_settings.Meter.Refresh, blockRate));
    const uint64_t before = g_levelCounter;
    g_levelCounter += static_cast<uint64_t>(blocks);
    if (before / refresh == g_levelCounter / refresh)
        return;
    double peak[CSndIOPlayList::kLevels];
    double vu[CSndIOPlayList::kLevels];
    double needle[CSndIOPlayList::kLevels];
    m_engine->GetMeterLevels(peak, vu);
    m_engine->GetNeedleLevels(needle);
    // Each reading takes the highest block peaks since the one before, and a frame shows the
    // highest of its readings (a nested event loop may deliver more than one message in a
    // frame): a short over must neither be skipped nor be replaced on screen by a quieter block
    // read after it.
    m_engine->TakePeakLevels(peak);
    const int count = std::clamp(m_settings.Meter.Num, 0, 8);
    if (m_referenceOpen) {
        for (int i = 0; i < count; ++i)
            if (ChannelDelivered(i))
                m_captured[static_cast<std::size_t>(i)] = vu[i] - 20.0;
        return;
    }
    for (std::size_t i = 0; i < m_framePeakDb.size(); ++i)
        m_framePeakDb[i] = std::max(m_framePeakDb[i], peak[i]);
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        CDlgMeter& meter = *m_meters[index];
        if (!ChannelDelivered(i)) {
            meter.Rest();
            continue;
        }
        // The needle reads like the VU at the reference level on every type, so the VU's
        // calibration applies; its position follows the printed scale on the face.
        const double vuDb = needle[i] - (m_settings.Channel[index].cal_vu + 20.0);
        const double vuPos = kerrion::NeedleDbToScalePos(m_faceTypes[index], vuDb);
        const double peakDb = m_framePeakDb[index];
        const double peakPos = kerrion::PeakDbToScalePos(peakDb);
        if (m_settings.Dump.enable == 1)
            meter.SetDiagText(
                kerrion::DiagnosticText(i, m_channelMap[index], vuDb, peakDb, vuPos, peakPos));
        meter.SetVuPos(std::clamp(vuPos, 0.0, 90.0));
        meter.UpdatePeak(std::clamp(peakPos, 0.0, 88.0));
    }
    ScheduleRepaint();
}

// The engine reads silence (0.0 dB VU) for a channel the device does not have; shown as such it
// would look like reference tone, so such a meter rests instead.
bool CSonaltDlg::ChannelDelivered(int meter) const
{
    const int32_t channel = m_channelMap[static_cast<std::size_t>(meter)];
    return channel >= 0 && channel < m_deliveredChannels;
}

// The next frame comes a frame's time after the last one, or at once when that has passed: a
// batch of level messages (delivered a frame apart) is painted in the same wake-up.
void CSonaltDlg::ScheduleRepaint()
{
    if (m_repaintTimer.isActive())
        return;
    const qint64 since = m_lastRepaint.isValid() ? m_lastRepaint.elapsed() : m_frameIntervalMs;
    m_repaintTimer.start(static_cast<int>(std::max<qint64>(0, m_frameIntervalMs - since)));
}

void CSonaltDlg::ClearFramePeaks() { m_framePeakDb.fill(-std::numeric_limits<double>::infinity()); }

// Invalidates the needle sweep region of every shown meter whose moving parts changed visibly
// since its last repaint (a steady signal costs no drawing at all).
void CSonaltDlg::RepaintNeedles()
{
    m_lastRepaint.start();
    ClearFramePeaks(); // the next frame starts afresh
    if (m_settings.Loudness.Show == 1) {
        const kerrion::LoudnessReadings readings = m_engine->GetLoudnessR128();
        m_loudness->ShowReadings(readings);
        m_history->Follow(readings);
    }
    const int count = std::clamp(m_settings.Meter.Num, 0, 8);
    for (int i = 0; i < count; ++i) {
        CDlgMeter& meter = *m_meters[static_cast<std::size_t>(i)];
        const NeedleState now = StateOf(meter);
        NeedleState& painted = m_painted[static_cast<std::size_t>(i)];
        if (SameOnScreen(now, painted) && m_settings.Dump.enable != 1)
            continue;
        painted = now;
        meter.RepaintMoving();
    }
}

// A steady tone still moves the levels a little from frame to frame (the VU filter's ripple,
// where the samples catch the crest). Below this many degrees the needle and the peak bar move
// less than a seventh of a pixel even on a single meter filling the screen; such a change is
// not drawn, and the drawn state never strays further than this from the levels.
CSonaltDlg::NeedleState CSonaltDlg::StateOf(const CDlgMeter& meter)
{
    return { meter.VuPos(), meter.PeakPos(), meter.HoldPos(), meter.LampOn() };
}

bool CSonaltDlg::SameOnScreen(const NeedleState& a, const NeedleState& b)
{
    constexpr double kUnseenDegrees = 0.005;
    return std::abs(a.vuPos - b.vuPos) < kUnseenDegrees
        && std::abs(a.peakPos - b.peakPos) < kUnseenDegrees
        && std::abs(a.holdPos - b.holdPos) < kUnseenDegrees && a.lampOn == b.lampOn;
}

void CSonaltDlg::ApplySettings(intptr_t focusWindow, intptr_t meter)
{
    if (focusWindow != 0) {
        m_monitor = FindMonitorRect();
        ComputeLayout(m_monitor, m_settings.Meter.Num);
    }
    RebuildSweepRegion();
    RenderFaces(static_cast<int>(meter), false);
    ApplyLoudnessSettings();
    FillMeterList();
    if (focusWindow != 0) {
        // The dialog gets the keyboard back where it was, on the control just used, so that
        // a user on the keyboard can go on changing the same value.
        auto* window = reinterpret_cast<QWidget*>(focusWindow);
        QWidget* control = window->focusWidget();
        window->activateWindow();
        (control != nullptr ? control : window)->setFocus();
    }
}

void CSonaltDlg::FillMeterList()
{
    static const char* const kPositions[] = { "左上", "中央上", "右上", "中央下" };
    for (int row = 0; row < 8; ++row) {
        const auto& channel = m_settings.Channel[static_cast<std::size_t>(row)];
        QString position;
        if (channel.name_visible == 0)
            position = QStringLiteral("なし");
        else if (channel.name_pos >= 0 && channel.name_pos <= 3)
            position = QString::fromUtf8(kPositions[channel.name_pos]);
        const QString cells[] = {
            QString::asprintf("%2d", row + 1),
            QString::fromStdString(channel.name),
            position,
            channel.over_enable == 1 ? QStringLiteral("●") : QString(),
            QString::asprintf("%.2lf", channel.over_th),
        };
        for (int column = 0; column < 5; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setTextAlignment(Qt::AlignCenter);
            m_list->setItem(row, column, item);
        }
    }
}

void CSonaltDlg::PumpMessages() { m_pump->Pump(); }

void CSonaltDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
}
