// Reads hidraw arrivals and removals out of uevent messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zelhid::hidraw {

struct HotplugEvent {
    bool arrived = false;
    std::string path; // "/dev/hidrawN"
};

// One message as the kernel sends it ("add@/devices/...\0ACTION=add\0...") or
// as udev (and umockdev) re-broadcast it, with the "libudev" header. nullopt
// for anything but the add or remove of a hidraw node with a name.
std::optional<HotplugEvent> parseUevent(const uint8_t* message, size_t size);

} // namespace zelhid::hidraw
