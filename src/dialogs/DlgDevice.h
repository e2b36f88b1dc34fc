#pragma once

// The device dialog: one list of every input device, the low-latency drivers (family 2) first
// and then the plain devices (family 1), with the channel counts, buffer size and sample rate of
// the selected entry and the driver's own control panel. The caller hands in the stored family,
// index and name; after exec() returns Accepted it reads Type, ID and Name back. Cancel changes
// nothing. User-interface thread only.
//
// The dialog owns one device object per family for its whole life; selecting an entry selects
// (opens) that device to read its figures, and destroying the dialog closes both, which unloads
// the driver it loaded.

#include "app/SettingsRecord.h"
#include "dialogs/TemplateDialog.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

class CNotifyTarget;
class CSndIODevice;
class CSndIODeviceASIO;

class CDlgDevice : public kerrion::TemplateDialog {
    Q_OBJECT

public:
    enum ControlId : int {
        kIdDeviceList = 1004,
        kIdProperties = 1005,
        kIdInformation = 1305,
        kIdOk = 1,
        kIdCancel = 2,
    };
    static constexpr int kFamilyNone = 0;
    static constexpr int kFamilyPlain = 1;
    static constexpr int kFamilyDriver = 2;

    // The settings and the main window are not needed here: the caller stores the choice.
    CDlgDevice(CSettingsRecord& settings, CNotifyTarget* mainWindow, int type, int id,
        const std::string& name, QWidget* parent = nullptr);
    ~CDlgDevice() override;

    // The choice after OK: family 2 and the driver index for a driver, family 1 and the device
    // index for a plain device, and the entry's name. Before OK, the stored choice.
    int Type() const { return m_type; }
    int ID() const { return m_id; }
    const std::string& Name() const { return m_name; }

    // The selected list position, -1 when nothing is selected.
    int SelectedPosition() const;
    int DriverCount() const { return static_cast<int>(m_driverNames.size()); }
    int PlainCount() const { return static_cast<int>(m_plainNames.size()); }

    // The list position for a stored choice: the stored name's entry (searched from the second
    // entry around to the first), else the stored index placed in its family. May lie beyond
    // the list.
    static int FindPosition(const std::vector<std::string>& entries, int driverCount, int type,
        int id, const std::string& name);

    void accept() override;

    // Replaces where the plain family's device object comes from, for every later dialog (null:
    // the built-in plain devices). Tests present device lists the machine does not have.
    using PlainDeviceFactory = std::unique_ptr<CSndIODevice> (*)();
    static void SetPlainDeviceFactory(PlainDeviceFactory factory);

private:
    void LoadDeviceNames();
    void ShowDevice(int position);
    void OnSelectionChanged(int position);
    void OpenControlPanel();

    std::unique_ptr<CSndIODeviceASIO> m_drivers; // family 2
    std::unique_ptr<CSndIODevice> m_plain;       // family 1; null where no plain devices exist
    std::vector<std::string> m_driverNames;      // UTF-8, at most 16
    std::vector<std::string> m_plainNames;       // UTF-8, at most 16
    int m_type = kFamilyNone;
    int m_id = 0;
    std::string m_name;
};
