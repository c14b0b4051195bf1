#include "conf.h"

#include <charconv>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace vunit::conf {

namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// Decimal, or hex after "0x".
bool toNumber(const std::string& text, unsigned long max, unsigned long& value) {
    int base = 10;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    if (digits.empty()) return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    return ec == std::errc() && end == digits.data() + digits.size() && value <= max;
}

std::string hex4(unsigned value) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04X", value & 0xFFFFu);
    return buf;
}

struct LineReader {
    int line = 0;

    [[noreturn]] void fail(const std::string& why) const {
        throw std::runtime_error("line " + std::to_string(line) + ": " + why);
    }
    unsigned long number(const std::string& key, const std::string& value, unsigned long max) const {
        unsigned long n = 0;
        if (!toNumber(value, max, n)) fail(key + " must be a number from 0 to " + std::to_string(max) + ", not '" + value + "'");
        return n;
    }
    void version(const std::string& key, const std::string& value, uint8_t& major, uint8_t& minor) const {
        const auto dot = value.find('.');
        unsigned long a = 0, b = 0;
        if (dot == std::string::npos || !toNumber(value.substr(0, dot), 255, a) || !toNumber(value.substr(dot + 1), 255, b))
            fail(key + " must be MAJOR.MINOR (each 0-255), not '" + value + "'");
        major = static_cast<uint8_t>(a);
        minor = static_cast<uint8_t>(b);
    }
    bool onOff(const std::string& key, const std::string& value) const {
        if (value == "on" || value == "yes") return true;
        if (value == "off" || value == "no") return false;
        fail(key + " must be on or off, not '" + value + "'");
    }
};

// Calls `take(key, value, reader)` for each setting line.
template <typename Take>
void forEachSetting(const std::string& text, Take take) {
    std::istringstream in(text);
    std::string raw;
    LineReader reader;
    while (std::getline(in, raw)) {
        ++reader.line;
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) reader.fail("expected key = value");
        take(trim(line.substr(0, eq)), trim(line.substr(eq + 1)), reader);
    }
}

} // namespace

std::string formatConfig(const Identity& id, const FolderOptions& options) {
    std::ostringstream out;
    out << "# Virtual Bexo unit: identity and run options, one key = value a line.\n"
        << "# Change it with bexo-sim, or by hand while no program has the unit open.\n";
    out << "kind = " << (id.kind == Kind::Packet ? "packet" : "stream") << "\n";
    out << "vendor = " << hex4(id.vendorId) << "\n";
    out << "usb = " << int(id.usbMajor) << "." << int(id.usbMinor) << "\n";
    out << "firmware = " << int(id.firmwareMajor) << "." << int(id.firmwareMinor) << "\n";
    if (id.chipCode == 0xAA)
        out << "chips = " << int(id.chips[0]) << "," << int(id.chips[1]) << "," << int(id.chips[2]) << ","
            << int(id.chips[3]) << "\n";
    else
        out << "chip = " << int(id.chipCode) << "\n";
    out << "cpu = " << hex4(id.cpuId) << "\n";
    out << "serial = " << id.serial << "\n";
    out << "seed = " << id.seed << "\n";
    out << "path = " << id.path << "\n";
    out << "timing = " << (options.timing ? "on" : "off") << "\n";
    out << "trace = " << options.tracePath << "\n";
    return out.str();
}

void parseConfig(const std::string& text, Identity& id, FolderOptions& options) {
    bool haveChip = false, haveChips = false;
    forEachSetting(text, [&](const std::string& key, const std::string& value, const LineReader& r) {
        if (key == "kind") {
            if (value == "stream")
                id.kind = Kind::Stream;
            else if (value == "packet")
                id.kind = Kind::Packet;
            else
                r.fail("kind must be stream or packet, not '" + value + "'");
        } else if (key == "vendor") {
            id.vendorId = static_cast<uint16_t>(r.number(key, value, 0xFFFF));
        } else if (key == "usb") {
            r.version(key, value, id.usbMajor, id.usbMinor);
        } else if (key == "firmware") {
            r.version(key, value, id.firmwareMajor, id.firmwareMinor);
        } else if (key == "chip") {
            id.chipCode = static_cast<uint8_t>(r.number(key, value, 255));
            haveChip = true;
        } else if (key == "chips") {
            std::istringstream list(value);
            std::string item;
            int n = 0;
            while (std::getline(list, item, ',')) {
                if (n == 4) r.fail("chips lists four chip codes");
                id.chips[static_cast<std::size_t>(n++)] = static_cast<uint8_t>(r.number(key, trim(item), 255));
            }
            if (n != 4) r.fail("chips lists four chip codes");
            haveChips = true;
        } else if (key == "cpu") {
            id.cpuId = static_cast<uint16_t>(r.number(key, value, 0xFFFF));
        } else if (key == "serial") {
            id.serial = static_cast<uint32_t>(r.number(key, value, 0xFFFFFFFFul));
        } else if (key == "seed") {
            id.seed = static_cast<uint32_t>(r.number(key, value, 0xFFFFFFFFul));
        } else if (key == "path") {
            id.path = value;
        } else if (key == "timing") {
            options.timing = r.onOff(key, value);
        } else if (key == "trace") {
            options.tracePath = value;
        } else {
            r.fail("unknown key '" + key + "'");
        }
    });
    if (haveChips) {
        if (haveChip && id.chipCode != 0xAA) throw std::runtime_error("chip and chips both given");
        id.chipCode = 0xAA;
    } else if (id.chipCode == 0xAA) {
        throw std::runtime_error("chip 0xAA (four slots) needs a chips line");
    }
}

std::string formatState(const Storage& storage) {
    return std::string("# Flags of the running unit that survive a power cycle.\napplication-valid = ") +
           (storage.applicationValid ? "yes" : "no") +
           "\nreset-vector-broken = " + (storage.resetVectorBroken ? "yes" : "no") + "\n";
}

void parseState(const std::string& text, Storage& storage) {
    forEachSetting(text, [&](const std::string& key, const std::string& value, const LineReader& r) {
        if (key == "application-valid")
            storage.applicationValid = r.onOff(key, value);
        else if (key == "reset-vector-broken")
            storage.resetVectorBroken = r.onOff(key, value);
        else
            r.fail("unknown key '" + key + "'");
    });
}

} // namespace vunit::conf
