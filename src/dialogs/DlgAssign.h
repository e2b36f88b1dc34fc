#pragma once

// The channel assignment dialog: for each of the eight meters, which of the first 30 device
// input channels feeds it, chosen in a grid of radio buttons (one row per meter). Works on a
// copy: the caller reads ChannelMap after exec() returns Accepted and stores it. A row whose
// channel lies outside 0..29 starts with no choice and keeps its channel unless the user picks
// one. User-interface thread only.

#include "app/SettingsRecord.h"
#include "dialogs/TemplateDialog.h"

#include <array>

class CNotifyTarget;
class QButtonGroup;

class CDlgAssign : public kerrion::TemplateDialog {
    Q_OBJECT

public:
    static constexpr int kChannels = 30;        // columns of the grid
    static constexpr int kFirstRowLabel = 1021; // "METER 1" .. "METER 8": 1021 .. 1028
    static constexpr int kFirstRadio = 2000;    // row r, column c: 2000 + 30 r + c
    static constexpr int kFirstHeading = 3000;  // column heading c: 3000 + c
    enum ControlId : int { kIdOk = 1, kIdCancel = 2 };

    // The settings and the main window are not needed here: the caller stores the map.
    CDlgAssign(CSettingsRecord& settings, CNotifyTarget* mainWindow,
        const std::array<int, kMeterCount>& channelMap, QWidget* parent = nullptr);
    ~CDlgAssign() override;

    // Meter -> 0-based device channel; the given map until OK.
    const std::array<int, kMeterCount>& ChannelMap() const { return m_channelMap; }

    void accept() override;

private:
    void CreateGrid();
    void CheckChannels();

    std::array<int, kMeterCount> m_channelMap;
    std::array<QButtonGroup*, kMeterCount> m_rows {}; // owned by the dialog
};
