#include "platform/asio/AsioDriverObject.h"

#include <dlfcn.h>

namespace kerrion {

AsioDriverObject::AsioDriverObject(void* library, IAsioDriver* driver)
    : m_library(library)
    , m_driver(driver)
{
}

AsioDriverObject::~AsioDriverObject()
{
    m_driver->Release();
    dlclose(m_library);
}

int AsioDriverObject::Create(const std::filesystem::path& library, const AsioClassId& classId,
    std::shared_ptr<AsioDriverObject>& object)
{
    object.reset();
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        return kLibraryNotLoadable;
    auto factory = reinterpret_cast<AsioFactory>(dlsym(handle, kAsioFactorySymbol));
    if (factory == nullptr) {
        dlclose(handle);
        return kNoFactory;
    }
    IAsioDriver* driver = nullptr;
    if (factory(&classId, kAsioDriverInterfaceVersion, &driver) != 0 || driver == nullptr) {
        dlclose(handle);
        return kRefused;
    }
    object.reset(new AsioDriverObject(handle, driver));
    return kCreated;
}

} // namespace kerrion
