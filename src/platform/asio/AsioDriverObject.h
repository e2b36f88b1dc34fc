#pragma once

// A driver object created from a plug-in library. It keeps the library loaded for as long as it
// lives and releases the object before unloading the library. Shared ownership lets a thread
// that still calls into the driver keep it (and its code) alive. Created and destroyed on the
// engine or UI thread.

#include "platform/asio/AsioDriver.h"

#include <filesystem>
#include <memory>

namespace kerrion {

class AsioDriverObject {
public:
    enum Result {
        kCreated = 0,
        kLibraryNotLoadable = -1, // missing, unreadable or not a shared library
        kNoFactory = -2,          // a library without the driver factory
        kRefused = -3,            // the factory refused the class id or gave no object
    };

    // Loads `library` and asks its factory for an object of `classId`.
    static int Create(const std::filesystem::path& library, const AsioClassId& classId,
        std::shared_ptr<AsioDriverObject>& object);

    ~AsioDriverObject();
    AsioDriverObject(const AsioDriverObject&) = delete;
    AsioDriverObject& operator=(const AsioDriverObject&) = delete;

    IAsioDriver* Driver() const { return m_driver; }

private:
    AsioDriverObject(void* library, IAsioDriver* driver);

    void* m_library;       // dlopen handle
    IAsioDriver* m_driver; // released in the destructor, before the library is closed
};

} // namespace kerrion
