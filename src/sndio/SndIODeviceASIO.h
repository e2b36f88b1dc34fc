#pragma once

// The device of the ASIO family (kind 2): drives one driver of the process's driver list
// through the ASIO host calls. The driver list, the current driver and the state reached by the
// driver callbacks are process-wide, shared by every ASIO device object (the device dialog's
// and the engine's): loading a driver in one releases the driver another had loaded, and Close
// on any of them deletes the list.
//
// Threads: the engine thread (or the UI thread for the dialog) calls the operations; the device
// thread is AsioDeviceThread; the driver's own thread runs the buffer switch callbacks.

#include "sndio/AsioDeviceState.h"
#include "sndio/SndIODevice.h"

#include <memory>
#include <string>
#include <vector>

class CSndIODeviceASIO : public CSndIODevice {
public:
    CSndIODeviceASIO();
    ~CSndIODeviceASIO() override;

    int Initialize() override;
    int SelectDevice(uint32_t index) override;
    int Start() override;
    int Close() override;

    // Opens the current driver's control panel; nothing without a loaded driver. Engine/UI thread.
    // 0 when it cannot; `why` then gets the driver's own message (where its settings file is,
    // when no program could open it), or stays empty.
    int ControlPanel(std::string* why = nullptr);

    // The system reference handed to the driver's init (the main window), process-wide.
    static void SetSystemReference(void* reference);

    const kerrion::AsioDeviceState& State() const { return *m_state; }

    // A registered driver that Initialize left out of the names table because its init failed,
    // with the driver's own reason ("JACK server not running"), for the dialog and the CLI.
    struct DriverFailure {
        std::string name;    // as it would have been listed
        std::string message; // the driver's error message
    };
    const std::vector<DriverFailure>& DriverFailures() const { return m_driverFailures; }

protected:
    void OnThreadAbandoned() override;

private:
    int CloseDriver();
    int SetUpDriver(uint32_t index);
    int QueryDriver();
    void KeepDriverError();
    int CreateBuffers();
    void FillStream(
        CSndIOStream& stream, int32_t channels, int32_t buffers, const ASIOChannelInfo* first);

    std::shared_ptr<kerrion::AsioDeviceState> m_state; // the device data of the thread context
    std::vector<DriverFailure> m_driverFailures;       // from the last Initialize
};
