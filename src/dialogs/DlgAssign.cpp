#include "dialogs/DlgAssign.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

using kerrion::ControlTemplate;
using kerrion::kStaticId;
using K = kerrion::ControlKind;

constexpr int kRowPitch = 12; // dialog units between meter rows

constexpr ControlTemplate RowLabel(int r, const char* text)
{
    return { CDlgAssign::kFirstRowLabel + r, K::Label, text, 12, 27 + kRowPitch * r, 30, 11 };
}

constexpr ControlTemplate kControls[] = {
    { CDlgAssign::kIdOk, K::DefaultButton, "OK", 336, 129, 50, 14 },
    { CDlgAssign::kIdCancel, K::PushButton, "キャンセル", 390, 129, 50, 14 },
    RowLabel(0, "METER 1"),
    RowLabel(1, "METER 2"),
    RowLabel(2, "METER 3"),
    RowLabel(3, "METER 4"),
    RowLabel(4, "METER 5"),
    RowLabel(5, "METER 6"),
    RowLabel(6, "METER 7"),
    RowLabel(7, "METER 8"),
    { kStaticId, K::LabelCentered, "Device Channel", 0, 6, 450, 8 },
};

constexpr kerrion::DialogTemplate kTemplate { 451, 153, "チャンネル指定", 12, kControls };

constexpr int kExtraWidth = 20; // pixels right of the last column

// The right edge of a rectangle as the dialog manager counts it: one past the last pixel.
int RightEdge(const QRect& rect) { return rect.x() + rect.width(); }

} // namespace

CDlgAssign::CDlgAssign(CSettingsRecord&, CNotifyTarget*,
    const std::array<int, kMeterCount>& channelMap, QWidget* parent)
    : TemplateDialog(kTemplate, parent)
    , m_channelMap(channelMap)
{
    CreateGrid();
    CheckChannels();
    connect(ControlAs<QPushButton>(kIdOk), &QPushButton::clicked, this, &CDlgAssign::accept);
    connect(ControlAs<QPushButton>(kIdCancel), &QPushButton::clicked, this, &CDlgAssign::reject);
}

CDlgAssign::~CDlgAssign() = default;

void CDlgAssign::CreateGrid()
{
    // Every square of the grid is as tall as a row label; the headings sit one square above the
    // first row, a quarter square to the right of the row labels.
    const QRect first = Control(kFirstRowLabel)->geometry();
    const int a = first.height();
    for (int c = 0; c < kChannels; ++c) {
        auto* heading = new QLabel(QString::number(c + 1), this);
        heading->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        heading->setGeometry(RightEdge(first) + a / 4 + c * a, first.y() - a, a, a);
        RegisterControl(kFirstHeading + c, heading);
    }
    int right = 0;
    for (int r = 0; r < kMeterCount; ++r) {
        const QRect label = Control(kFirstRowLabel + r)->geometry();
        auto* row = new QButtonGroup(this); // one choice per row
        for (int c = 0; c < kChannels; ++c) {
            auto* radio = new QRadioButton(this);
            radio->setGeometry(RightEdge(label) + a / 2 + c * a, label.y(), a, a);
            row->addButton(radio, c);
            RegisterControl(kFirstRadio + kChannels * r + c, radio);
            right = RightEdge(radio->geometry());
        }
        m_rows[static_cast<size_t>(r)] = row;
    }
    // Wide enough for the grid, and never narrower than the template, whose buttons lie at its
    // right end (a small font makes the grid narrower than the template).
    setFixedSize(std::max(right + kExtraWidth, width()), height());
}

void CDlgAssign::CheckChannels()
{
    // A channel outside the grid (from the settings file) leaves its row without a choice.
    for (int r = 0; r < kMeterCount; ++r) {
        const int channel = m_channelMap[static_cast<size_t>(r)];
        if (channel >= 0 && channel < kChannels)
            m_rows[static_cast<size_t>(r)]->button(channel)->setChecked(true);
    }
}

void CDlgAssign::accept()
{
    for (int r = 0; r < kMeterCount; ++r) {
        const int checked = m_rows[static_cast<size_t>(r)]->checkedId();
        if (checked >= 0)
            m_channelMap[static_cast<size_t>(r)] = checked;
    }
    TemplateDialog::accept();
}
