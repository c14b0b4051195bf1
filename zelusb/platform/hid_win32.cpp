// The Windows HID backend: SetupAPI finds the interfaces, the HID class
// driver gives their ids, and reports move with overlapped I/O.
#include "backends.h"
#include "win32_api.h"
#include "win32_overlapped.h"

#include <memory>

namespace zelhid {

// The native backend's own device (hid_select wraps it).
struct Win32Device {
    HANDLE file;
    HANDLE stop; // manual-reset: once set, every later read ends at once
};

namespace native {

namespace {

Win32Device* self(Device* device) { return reinterpret_cast<Win32Device*>(device); }

// The interface's path, or "" when the system can't give it.
std::string interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& interfaceData) {
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return {};
    // DWORD elements keep the record aligned for its cbSize field.
    auto storage = std::make_unique<DWORD[]>(needed / sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &interfaceData, detail, needed, nullptr, nullptr)) return {};
    return detail->DevicePath;
}

// Sharing both ways so that a probe never disturbs, nor is refused by, an
// opener that holds the device for use.
bool readIds(const std::string& path, DeviceInfo& info) {
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return false;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    const bool known = HidD_GetAttributes(probe, &attributes);
    CloseHandle(probe);
    if (!known) return false;
    info.vendorId = attributes.VendorID;
    info.productId = attributes.ProductID;
    return true;
}

} // namespace

std::vector<DeviceInfo> enumerate() {
    std::vector<DeviceInfo> found;
    GUID hidGuid;
    HidD_GetHidGuid(&hidGuid);
    HDEVINFO set = SetupDiGetClassDevsA(&hidGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return found;
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    for (DWORD member = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidGuid, member, &interfaceData) == TRUE;
         ++member) {
        DeviceInfo info;
        info.path = interfacePath(set, interfaceData);
        if (!info.path.empty() && readIds(info.path, info)) found.push_back(info);
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

// Sharing only reading is what keeps a unit to one user: any later opener
// asking for write access, here or in another process, is refused.
Device* openExclusive(const std::string& path, bool* busy) {
    if (busy) *busy = false;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (busy) *busy = GetLastError() == ERROR_SHARING_VIOLATION;
        return nullptr;
    }
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stop) {
        CloseHandle(file);
        return nullptr;
    }
    return reinterpret_cast<Device*>(new Win32Device{file, stop});
}

// Callers stop and wait for their reader first; setting the stop event and
// cancelling every thread's I/O here only keeps a straggler from hanging.
void close(Device* handle) {
    Win32Device* device = self(handle);
    if (!device) return;
    SetEvent(device->stop);
    CancelIoEx(device->file, nullptr);
    CloseHandle(device->file);
    CloseHandle(device->stop);
    delete device;
}

void setInputBuffers(Device* device, int count) {
    if (device && count > 0) HidD_SetNumInputBuffers(self(device)->file, static_cast<ULONG>(count));
}

WriteResult writeReport(Device* device, const uint8_t* data, size_t length, int timeoutMs) {
    if (!device) return {};
    return win32::writeOverlapped(self(device)->file, data, length, timeoutMs);
}

int readReports(Device* device, uint8_t* buffer, size_t capacity, int timeoutMs) {
    if (!device) return -1;
    return win32::readOverlapped(self(device)->file, self(device)->stop, buffer, capacity, timeoutMs);
}

void stopReads(Device* device) {
    if (device) SetEvent(self(device)->stop);
}

// Windows tells windows itself: a window registered with
// RegisterDeviceNotificationA gets WM_DEVICECHANGE for every HID interface.
// There is nothing to watch here, and nothing to fail.
bool watchDevices(DeviceNotify, void*) { return true; }

bool isVirtual(const Device*) { return false; }

} // namespace native
} // namespace zelhid
