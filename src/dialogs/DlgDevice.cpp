#include "dialogs/DlgDevice.h"

#include "dialogs/PlainDevice.h"
#include "sndio/SndIODeviceASIO.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

using kerrion::ControlTemplate;
using K = kerrion::ControlKind;

constexpr ControlTemplate kControls[] = {
    { 1301, K::Label, "デバイス", 9, 9, 30, 9 },
    { CDlgDevice::kIdDeviceList, K::ComboList, "", 45, 9, 134, 80 },
    { CDlgDevice::kIdProperties, K::PushButton, "プロパティ", 186, 9, 51, 11 },
    { 1303, K::HorizontalLine, "", 9, 27, 228, 1 },
    { CDlgDevice::kIdInformation, K::EditMultiReadOnly, "", 9, 33, 228, 60 },
    { CDlgDevice::kIdOk, K::DefaultButton, "OK", 132, 99, 50, 14 },
    { CDlgDevice::kIdCancel, K::PushButton, "キャンセル", 186, 99, 50, 14 },
};

constexpr kerrion::DialogTemplate kTemplate { 245, 120, "デバイス選択", 12, kControls };

CDlgDevice::PlainDeviceFactory g_plainFactory = nullptr; // null: kerrion::CreatePlainDevice

// The names a device object lists, or none when it has no devices.
std::vector<std::string> DeviceNames(CSndIODevice* device)
{
    std::vector<std::string> names;
    if (device == nullptr)
        return names;
    char table[CSndIODevice::kListedNames][CSndIODevice::kNameLength] = {};
    const int count = device->GetDeviceNames(table);
    for (int i = 0; i < count; ++i)
        names.emplace_back(table[i]);
    return names;
}

// The three lines of the information field, each ending in CR LF. A device that is not open
// shows zero channels and buffer size, and the rate it holds.
std::string Information(CSndIODevice* device)
{
    int inputs = 0;
    int outputs = 0;
    int frames = 0;
    double rate = 0.0;
    if (device != nullptr) {
        if (device->IsOpened()) {
            inputs = static_cast<int>(device->InputStream().m_availableChannels);
            outputs = static_cast<int>(device->OutputStream().m_availableChannels);
            frames = static_cast<int>(device->OutputStream().m_bufferFrames);
        }
        rate = device->InputStream().m_sampleRate;
    }
    char text[160];
    std::snprintf(text, sizeof text,
        "number of channels: input: %d, output: %d\r\nBuffer Size: %d\r\nSample Rate: %d Hz\r\n",
        inputs, outputs, frames, static_cast<int>(rate));
    return text;
}

// Shows the wait cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

void CDlgDevice::SetPlainDeviceFactory(PlainDeviceFactory factory) { g_plainFactory = factory; }

CDlgDevice::CDlgDevice(
    CSettingsRecord&, CNotifyTarget*, int type, int id, const std::string& name, QWidget* parent)
    : TemplateDialog(kTemplate, parent)
    , m_type(type)
    , m_id(id)
    , m_name(name)
{
    LoadDeviceNames();
    std::vector<std::string> entries = m_driverNames;
    entries.insert(entries.end(), m_plainNames.begin(), m_plainNames.end());
    auto* list = ControlAs<QComboBox>(kIdDeviceList);
    for (const std::string& entry : entries)
        list->addItem(QString::fromUtf8(entry.c_str()));

    const int position = FindPosition(entries, DriverCount(), type, id, name);
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
    ShowDevice(SelectedPosition());

    connect(list, &QComboBox::activated, this, &CDlgDevice::OnSelectionChanged);
    connect(ControlAs<QPushButton>(kIdProperties), &QPushButton::clicked, this,
        &CDlgDevice::OpenControlPanel);
    connect(ControlAs<QPushButton>(kIdOk), &QPushButton::clicked, this, &CDlgDevice::accept);
    connect(ControlAs<QPushButton>(kIdCancel), &QPushButton::clicked, this, &CDlgDevice::reject);
}

CDlgDevice::~CDlgDevice() = default; // closes both devices, unloading the dialog's driver

void CDlgDevice::LoadDeviceNames()
{
    m_drivers = std::make_unique<CSndIODeviceASIO>();
    m_drivers->Initialize();
    m_driverNames = DeviceNames(m_drivers.get());
    m_plain = g_plainFactory != nullptr ? g_plainFactory() : kerrion::CreatePlainDevice();
    if (m_plain != nullptr)
        m_plain->Initialize();
    m_plainNames = DeviceNames(m_plain.get());
}

int CDlgDevice::FindPosition(const std::vector<std::string>& entries, int driverCount, int type,
    int id, const std::string& name)
{
    // The stored name, as a prefix in any letter case, from the second entry around to the
    // first; then the stored index within its family.
    const QString wanted = QString::fromUtf8(name.c_str());
    const int count = static_cast<int>(entries.size());
    for (int k = 1; !wanted.isEmpty() && k <= count; ++k) {
        const int position = k % count;
        if (QString::fromUtf8(entries[static_cast<size_t>(position)].c_str())
                .startsWith(wanted, Qt::CaseInsensitive))
            return position;
    }
    return type == kFamilyPlain ? id + driverCount : id;
}

int CDlgDevice::SelectedPosition() const
{
    return ControlAs<QComboBox>(kIdDeviceList)->currentIndex();
}

void CDlgDevice::ShowDevice(int position)
{
    // Selecting opens the device to read its figures; the properties button belongs to drivers.
    CSndIODevice* device = nullptr;
    const bool isDriver = position >= 0 && position < DriverCount();
    if (isDriver) {
        m_drivers->SelectDevice(static_cast<uint32_t>(position));
        device = m_drivers.get();
    } else if (position >= DriverCount() && position < DriverCount() + PlainCount()) {
        m_plain->SelectDevice(static_cast<uint32_t>(position - DriverCount()));
        device = m_plain.get();
    }
    ControlAs<QPushButton>(kIdProperties)->setEnabled(isDriver);
    const QString text = QString::fromStdString(Information(device));
    ControlAs<QPlainTextEdit>(kIdInformation)->setPlainText(QString(text).remove(u'\r'));
}

void CDlgDevice::OnSelectionChanged(int position)
{
    WaitCursor wait;
    ShowDevice(position);
}

// A panel that cannot open would otherwise do nothing visible: the driver's message says why and
// where its settings file is.
void CDlgDevice::OpenControlPanel()
{
    std::string why;
    {
        WaitCursor wait;
        if (m_drivers->ControlPanel(&why) == 1)
            return;
    }
    QString text = QStringLiteral("コントロールパネルを開けません。");
    if (!why.empty())
        text += QStringLiteral("\n") + QString::fromUtf8(why.c_str());
    QMessageBox box(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

void CDlgDevice::accept()
{
    // Nothing selected (a stored index beyond the list): the stored choice stays.
    const int position = SelectedPosition();
    if (position >= 0 && position < DriverCount()) {
        m_type = kFamilyDriver;
        m_id = position;
        m_name = m_driverNames[static_cast<size_t>(position)];
    } else if (position >= DriverCount() && position < DriverCount() + PlainCount()) {
        m_type = kFamilyPlain;
        m_id = position - DriverCount();
        m_name = m_plainNames[static_cast<size_t>(m_id)];
    }
    TemplateDialog::accept();
}
