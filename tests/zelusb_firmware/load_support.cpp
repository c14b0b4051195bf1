#include "load_support.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace loadtest {

Files madeUpFiles(const std::string& chip, uint32_t firmwareWords, uint32_t bootStart, uint32_t bootWords) {
    const bool pic16 = chip == "PIC16F877A";
    const uint32_t vectorWords = pic16 ? 4 : 10;
    const size_t imageBytes = chip == "PIC16F877A" ? 2 * 8192 : chip == "PIC18F4525" ? 2 * 0xC000 : 2 * 0x8000;
    auto words = [pic16](uint32_t n, uint16_t seed) {
        Bytes b = hextext::countingWords(n, seed);
        if (pic16)
            for (size_t i = 1; i < b.size(); i += 2) b[i] &= 0x3F; // 14-bit words
        return b;
    };
    const std::vector<hextext::Chunk> boot = {{0, words(vectorWords, 0x2E00)}, {2 * bootStart, words(bootWords, 0x2400)}};
    const std::vector<hextext::Chunk> fw = {{0, words(firmwareWords, 0x1000)}};
    Files f;
    f.chip = chip;
    f.bootloader = hextext::hexFile(boot, chip);
    f.firmware = hextext::hexFile(fw, chip);
    f.image = hextext::imageOf(boot, imageBytes);
    const Bytes fwImage = hextext::imageOf(fw, imageBytes);
    std::copy(fwImage.begin(), fwImage.begin() + 2 * firmwareWords, f.image.begin());
    f.bootStart = bootStart;
    f.bootEnd = bootStart + bootWords;
    f.firmwareEnd = firmwareWords;
    return f;
}

std::string printedBy(const std::function<void()>& call) {
    testing::internal::CaptureStdout();
    call();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

Outcome loadFiles(int unit, const Files& files, uint16_t cpuId, const std::string& chipName) {
    std::vector<char> fw(files.firmware.begin(), files.firmware.end());
    std::vector<char> boot(files.bootloader.begin(), files.bootloader.end());
    std::vector<char> name(chipName.begin(), chipName.end());
    name.push_back(0);
    Outcome o;
#if !defined(_WIN32)
    testunits::Collector collector;
    ZELRegisterStatusWindow(unit, &collector.sink, 5);
#endif
    o.printed = printedBy([&] {
        o.result = ZELLoadFirmware(unit, fw.data(), static_cast<int>(fw.size()), boot.data(),
                                   static_cast<int>(boot.size()), cpuId, name.data());
    });
#if !defined(_WIN32)
    ZELRegisterStatusWindow(unit, nullptr, 0);
    std::lock_guard<std::mutex> lock(collector.mutex);
    o.records = collector.records;
#endif
    return o;
}

Identified identify(int unit) {
    Identified id;
    unsigned char memoryCode = 0;
    unsigned short usb = 0, firmware = 0;
    id.ok = ZELInitDevice(unit, &id.bootMode, &usb, &firmware, &id.cpuId, &memoryCode, id.name) == 1;
    return id;
}

Bytes programWords(const vunit::Storage& s, uint32_t from, uint32_t to) {
    return Bytes(s.programFlash.begin() + 2 * from, s.programFlash.begin() + 2 * to);
}
Bytes imageWords(const Bytes& image, uint32_t from, uint32_t to) {
    return Bytes(image.begin() + 2 * from, image.begin() + 2 * to);
}

namespace {

Bytes hexBytes(std::istringstream& line) {
    Bytes out;
    std::string token;
    while (line >> token) {
        if (token[0] == '[') { // "[+N]": that many more bytes, zeros as far as anyone cares
            out.resize(out.size() + std::stoul(token.substr(2)), 0);
            break;
        }
        out.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
    }
    return out;
}

// The host's stream framing read back: STX opens, DLE escapes, EOT or ETX ends.
struct Deframer {
    Bytes message;
    bool open = false, escape = false;
    // Returns how many messages the report completed.
    size_t feed(const Bytes& report, std::vector<Bytes>& out) {
        const size_t before = out.size();
        for (size_t i = 1; i < report.size(); ++i) {
            const uint8_t c = report[i];
            if (c == 0x02) {
                message.clear();
                open = true;
                escape = false;
            } else if (!open) {
                continue;
            } else if (c == 0x04 || c == 0x03) {
                out.push_back(message);
                open = false;
            } else if (c == 0x10) {
                escape = true;
            } else {
                message.push_back(escape ? static_cast<uint8_t>(c + 0x60) : c);
                escape = false;
            }
        }
        return out.size() - before;
    }
};

std::string framedName(const Bytes& m) {
    char name[16];
    if (m.size() >= 3 && (m[0] == 0x1C || m[0] == 0x11 || m[0] == 0x10 || m[0] == 0x16))
        std::snprintf(name, sizeof name, "%02X %04X", m[0], m[1] | m[2] << 8);
    else
        std::snprintf(name, sizeof name, "%02X", m.empty() ? 0 : m[0]);
    return name;
}

} // namespace

Wire wireOf(const std::string& trace) {
    Wire w;
    std::istringstream lines(trace);
    std::string text, state = "OFF";
    Deframer deframer;
    while (std::getline(lines, text)) {
        std::istringstream line(text);
        std::string time, what;
        line >> time >> what;
        if (what == "---") {
            const size_t arrow = text.find(" -> ");
            if (text.find("--- power ") != std::string::npos && arrow != std::string::npos) state = text.substr(arrow + 4);
            continue;
        }
        if (what == "IN") w.requestsAtReport.push_back(w.sequence.size());
        if (what != "OUT") continue;
        ++w.outputReports;
        struct Mark {
            Wire& w;
            ~Mark() { w.requestsAtReport.push_back(w.sequence.size()); }
        } mark{w}; // after this report's request is counted
        const Bytes report = hexBytes(line);
        if (report.empty()) continue;
        if (report[0] == 0x20) {
            const uint8_t control = report.size() > 1 ? report[1] : 0;
            if (control == 1) ++w.statusRequests;
            w.sequence.push_back(control == 1 ? "status" : control == 2 ? "pins" : "reframe");
            continue;
        }
        if (report[0] == 0x65 || report[0] == 0x66) { // a packet unit's message: length, then the bytes
            if (report.size() < 3) continue;
            const size_t n = std::min<size_t>(report[1] | report[2] << 8, report.size() - 3);
            w.framed.emplace_back(report.begin() + 3, report.begin() + 3 + static_cast<long>(n));
            w.sequence.push_back(framedName(w.framed.back()));
            continue;
        }
        if (state == "APPLICATION") {
            if (!deframer.open && (report.size() < 2 || report[1] != 0x02)) {
                w.sequence.push_back("probe");
                continue;
            }
            const size_t done = deframer.feed(report, w.framed);
            for (size_t i = w.framed.size() - done; i < w.framed.size(); ++i) w.sequence.push_back(framedName(w.framed[i]));
        }
        if (state == "BOOTLOADER") {
            w.boot.emplace_back(report.begin() + 1, report.end());
            const Bytes& r = w.boot.back();
            w.sequence.push_back("boot " + (r.size() >= 3 && r[0] == 1 ? "1:" + std::to_string(r[1] | r[2] << 8)
                                                                         : std::to_string(r.empty() ? 0 : r[0])));
        }
    }
    return w;
}

std::vector<std::string> bootCommandNames(const Wire& wire) {
    std::vector<std::string> names;
    for (const Bytes& r : wire.boot) {
        if (r.empty()) continue;
        if (r[0] == 1 && r.size() >= 3)
            names.push_back("1:" + std::to_string(r[1] | r[2] << 8));
        else
            names.push_back(std::to_string(r[0]));
    }
    return names;
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Bytes> framedWith(const Wire& wire, uint8_t code) {
    std::vector<Bytes> out;
    for (const Bytes& m : wire.framed)
        if (!m.empty() && m[0] == code) out.push_back(m);
    return out;
}

} // namespace loadtest
