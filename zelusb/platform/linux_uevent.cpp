#include "linux_uevent.h"

#include <cstring>
#include <string_view>

namespace zelhid::hidraw {

namespace {

constexpr std::string_view kUdevPrefix{"libudev\0", 8};
constexpr size_t kUdevHeaderMin = 24; // prefix, magic, header size, properties offset and length

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

uint32_t hostOrder32(const uint8_t* p) {
    uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// The "KEY=VALUE\0..." part of the message, or an empty view.
std::string_view properties(const uint8_t* message, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(message), size);
    if (all.substr(0, kUdevPrefix.size()) == kUdevPrefix) {
        if (size < kUdevHeaderMin || bigEndian32(message + 8) != 0xFEEDCAFEu) return {};
        const size_t offset = hostOrder32(message + 16);
        const size_t length = hostOrder32(message + 20);
        if (offset > size || length > size - offset) return {};
        return all.substr(offset, length);
    }
    // The kernel's form opens with "ACTION@DEVPATH".
    const size_t end = all.find('\0');
    if (end == std::string_view::npos || all.substr(0, end).find('@') == std::string_view::npos) return {};
    return all.substr(end + 1);
}

} // namespace

std::optional<HotplugEvent> parseUevent(const uint8_t* message, size_t size) {
    if (!message) return std::nullopt;
    std::string_view rest = properties(message, size);
    std::string_view action, subsystem, devname;
    while (!rest.empty()) {
        const size_t end = rest.find('\0');
        const std::string_view entry = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        const size_t eq = entry.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = entry.substr(0, eq);
        const std::string_view value = entry.substr(eq + 1);
        if (key == "ACTION") action = value;
        else if (key == "SUBSYSTEM") subsystem = value;
        else if (key == "DEVNAME") devname = value;
    }
    if (subsystem != "hidraw" || devname.empty() || (action != "add" && action != "remove")) return std::nullopt;

    HotplugEvent event;
    event.arrived = action == "add";
    // The kernel names the node relative to /dev; udev gives the full path.
    event.path = devname.front() == '/' ? std::string(devname) : "/dev/" + std::string(devname);
    return event;
}

} // namespace zelhid::hidraw
