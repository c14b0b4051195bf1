#include "host.h"

#include <algorithm>
#include <chrono>

namespace hosttest {

namespace {

constexpr uint8_t STX = 0x02, ETX = 0x03, EOT = 0x04, DLE = 0x10;

bool write(Host& h, const Bytes& buffer) {
    return vunit::writeReport(*h.unit, buffer.data(), buffer.size()) == static_cast<int>(buffer.size());
}

size_t packetAnswerLength(uint8_t id) {
    switch (id) {
    case 0xC9: return 15;
    case 0xCA: return 260;
    case 0xCB: return 4080;
    default: return 0;
    }
}

void take(Host& h, const uint8_t* r, size_t n) {
    h.seen.emplace_back(r, r + n);
    if (!h.stream) {
        const size_t len = std::min(packetAnswerLength(r[0]), n - 1);
        h.queue.emplace_back(r + 1, r + 1 + len);
        return;
    }
    if (n < 8) return;
    if (r[0] == 2) {
        h.statusReports.emplace_back(r, r + 8);
        return;
    }
    if (r[0] != 1) return;
    if (h.unframed) {
        h.queue.emplace_back(r + 1, r + 8);
        return;
    }
    bool complete = false;
    for (int i = 1; i < 8; ++i) {
        uint8_t c = r[i];
        if (c == STX) {
            h.message.clear();
            h.inFrame = true;
            h.escape = false;
        } else if (c == ETX) {
            h.escape = false;
            if (h.inFrame) complete = true;
        } else if (c == EOT) {
            h.escape = false;
        } else if (c == DLE) {
            h.escape = true;
        } else {
            if (h.escape) {
                c = static_cast<uint8_t>(c + 0x60);
                h.escape = false;
            }
            h.message.push_back(c);
        }
    }
    if (complete) {
        h.queue.push_back(h.message);
        h.message.clear();
        h.inFrame = false;
    }
}

// Reads one report into the host's state; false on time-out or unplug.
bool pump(Host& h, int timeoutMs) {
    std::vector<uint8_t> buffer(4100);
    const int n = vunit::readReport(*h.unit, buffer.data(), buffer.size(), timeoutMs);
    if (n <= 0) return false;
    take(h, buffer.data(), static_cast<size_t>(n));
    return true;
}

} // namespace

Host hostFor(vunit::Unit& unit) {
    Host h;
    h.unit = &unit;
    h.stream = vunit::identityOf(unit).kind == vunit::Kind::Stream;
    return h;
}

std::vector<Bytes> streamBuffers(const Bytes& message, bool nt) {
    std::vector<Bytes> out;
    Bytes p(321, 0);
    p[1] = STX;
    size_t i = 2;
    auto put = [&](uint8_t b) {
        p[i++] = b;
        if (i == 321) {
            p[0] = 0x13;
            out.push_back(p);
            std::fill(p.begin(), p.end(), 0);
            i = 1;
        }
    };
    for (uint8_t b : message) {
        if (b == STX || b == ETX || b == EOT || b == DLE) {
            put(DLE);
            put(static_cast<uint8_t>(b + 0xA0));
        } else {
            put(b);
        }
    }
    size_t size = 321;
    uint8_t id = 0x13;
    if (!nt) {
        if (i <= 7) size = 8, id = 0x10;
        else if (i <= 15) size = 16, id = 0x11;
        else if (i <= 127) size = 128, id = 0x12;
    }
    if (i < size - 1) {
        p[i] = EOT;
        std::fill(p.begin() + static_cast<std::ptrdiff_t>(i) + 1, p.begin() + static_cast<std::ptrdiff_t>(size) - 1, 0);
    }
    std::fill(p.begin() + static_cast<std::ptrdiff_t>(size), p.end(), 0);
    p[0] = id;
    p[size - 1] = ETX;
    out.push_back(p);
    return out;
}

Bytes packetBuffer(const Bytes& message) {
    const size_t n = message.size();
    if (n > 267) return {};
    Bytes r(271, 0);
    r[0] = n <= 12 ? 0x65 : 0x66;
    r[1] = static_cast<uint8_t>(n & 0xFF);
    r[2] = static_cast<uint8_t>(n >> 8);
    std::copy(message.begin(), message.end(), r.begin() + 3);
    return r;
}

bool sendMessage(Host& h, const Bytes& message) {
    if (!h.stream) {
        const Bytes r = packetBuffer(message);
        return !r.empty() && write(h, r);
    }
    for (const Bytes& b : streamBuffers(message, h.nt))
        if (!write(h, b)) return false;
    return true;
}

std::optional<Bytes> receive(Host& h, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!h.queue.empty()) {
            Bytes m = std::move(h.queue.front());
            h.queue.pop_front();
            return m;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!pump(h, static_cast<int>(std::max<int64_t>(left.count(), 0)))) return std::nullopt;
    }
}

std::optional<Bytes> transact(Host& h, const Bytes& request, int timeoutMs) {
    if (!sendMessage(h, request)) return std::nullopt;
    return receive(h, timeoutMs);
}

bool silent(Host& h, int timeoutMs) {
    const size_t before = h.seen.size();
    while (pump(h, timeoutMs)) {
    }
    return h.seen.size() == before && h.queue.empty() && h.statusReports.empty();
}

bool control(Host& h, uint8_t what, const std::array<uint8_t, 6>& pins) {
    Bytes r(321, 0);
    r[0] = 0x20;
    r[1] = what;
    if (what == 2) std::copy(pins.begin(), pins.end(), r.begin() + 2);
    return write(h, r);
}

std::optional<Bytes> statusReport(Host& h, int timeoutMs) {
    if (!control(h, 1)) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (h.statusReports.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!pump(h, static_cast<int>(std::max<int64_t>(left.count(), 0)))) return std::nullopt;
    }
    Bytes r = h.statusReports.front();
    h.statusReports.pop_front();
    return r;
}

std::optional<std::array<uint8_t, 4>> status(Host& h, int timeoutMs) {
    if (!h.stream) {
        const auto r = transact(h, {0x22}, timeoutMs);
        if (!r || r->size() < 2) return std::nullopt;
        return std::array<uint8_t, 4>{0, static_cast<uint8_t>((*r)[1] & 1), 2, 0};
    }
    const auto r = statusReport(h, timeoutMs);
    if (!r) return std::nullopt;
    return std::array<uint8_t, 4>{(*r)[1], (*r)[2], (*r)[3], (*r)[4]};
}

bool setPins(Host& h, const std::array<uint8_t, 6>& pins) { return !h.stream || control(h, 2, pins); }

bool powerOn(Host& h) {
    if (!h.stream) return transact(h, {0x1D, 4}).has_value();
    return setPins(h, {0, 0, 0, 2, 2, 0}) && setPins(h, {0, 0, 0, 2, 2, 2});
}

bool powerOff(Host& h) {
    if (!h.stream) return transact(h, {0x0F}).has_value();
    Bytes r(321, EOT);
    r[0] = 0x13;
    r[1] = STX;
    r[2] = 0x0F;
    r[320] = ETX;
    if (!write(h, r)) return false;
    const auto a = receive(h, 2000);
    return a && !a->empty() && (*a)[0] == 1;
}

void reframe(Host& h) {
    while (receive(h, 0)) {
    }
    h.statusReports.clear();
    if (h.stream) control(h, 0);
}

std::optional<Bytes> unframed(Host& h, const Bytes& request, size_t responseLength, int timeoutMs, bool singleReport) {
    if (!h.stream || request.size() % 7 || responseLength % 7) return std::nullopt;
    h.unframed = true;
    bool sent = true;
    if (h.nt || singleReport) {
        Bytes r(321, 0);
        r[0] = 0x13;
        std::copy(request.begin(), request.end(), r.begin() + 1);
        sent = write(h, r);
    } else {
        for (size_t i = 0; i < request.size() && sent; i += 7) {
            Bytes r(321, 0);
            r[0] = 0x10;
            std::copy_n(request.begin() + static_cast<std::ptrdiff_t>(i), 7, r.begin() + 1);
            sent = write(h, r);
        }
    }
    Bytes answer;
    while (sent && answer.size() < responseLength) {
        const auto part = receive(h, timeoutMs);
        if (!part) break;
        answer.insert(answer.end(), part->begin(), part->end());
    }
    h.unframed = false;
    if (!sent || answer.size() < responseLength) return std::nullopt;
    return answer;
}

bool setCounter(Host& h, uint16_t value) {
    const uint8_t lo = static_cast<uint8_t>(value & 0xFF), hi = static_cast<uint8_t>(value >> 8);
    const auto a = unframed(h, {1, lo, hi, 0, 0, 0, 0}, 7, 500, false);
    return a && *a == Bytes{lo, hi, 0xB5, 0xB4, 0xB3, 0xB2, 0xB1};
}

void sendZeros49(Host& h) { unframed(h, Bytes(49, 0), 0, 0, false); }

Bytes head(const std::optional<Bytes>& answer, size_t n) {
    if (!answer) return {};
    return Bytes(answer->begin(), answer->begin() + static_cast<std::ptrdiff_t>(std::min(n, answer->size())));
}

Bytes join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes readMemoryRequest(uint32_t a, uint16_t length) {
    return {0x12, static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a >> 16),
            static_cast<uint8_t>(a >> 24), static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)};
}

Bytes writeMemoryRequest(uint32_t a, const Bytes& data) {
    // Sized once and filled: growing the 5-byte head by insert() makes GCC 12
    // at -O3 warn about a copy past its bounds (-Warray-bounds) that never happens.
    const Bytes head = addressRequest(0x14, a);
    Bytes r(head.size() + data.size());
    std::copy(head.begin(), head.end(), r.begin());
    std::copy(data.begin(), data.end(), r.begin() + static_cast<std::ptrdiff_t>(head.size()));
    return r;
}

Bytes addressRequest(uint8_t code, uint32_t a) {
    return {code, static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a >> 16),
            static_cast<uint8_t>(a >> 24)};
}

vunit::Identity streamIdentity(uint16_t cpuId, uint8_t chip) {
    vunit::Identity id;
    id.kind = vunit::Kind::Stream;
    id.cpuId = cpuId;
    id.chipCode = chip;
    id.usbMajor = 1;
    id.usbMinor = 3;
    id.firmwareMajor = 1;
    id.firmwareMinor = 29;
    return id;
}

vunit::Identity packetIdentity(uint16_t cpuId, uint8_t chip) {
    vunit::Identity id = streamIdentity(cpuId, chip);
    id.kind = vunit::Kind::Packet;
    return id;
}

UnitPtr makeUnit(const vunit::Identity& id, const vunit::UnitOptions& options) {
    return vunit::makeUnit(id, vunit::blankStorage(id), options);
}

UnitPtr poweredUnit(const vunit::Identity& id, Host& h, const vunit::UnitOptions& options) {
    UnitPtr u = makeUnit(id, options);
    h = hostFor(*u);
    powerOn(h);
    reframe(h);
    return u;
}

} // namespace hosttest
