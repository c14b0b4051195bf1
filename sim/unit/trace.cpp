#include "trace.h"

#include <cstdio>

namespace vunit {

namespace {

void stamp(Trace& trace, uint64_t timeUs) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%5llu.%03llu ", static_cast<unsigned long long>(timeUs / 1'000'000),
                  static_cast<unsigned long long>(timeUs / 1000 % 1000));
    trace.out << buf;
}

// The report's bytes as shown, and its " [+N]" tail.
void writeBytes(Trace& trace, const uint8_t* data, size_t shown, size_t total) {
    size_t n = shown;
    if (n > 16)
        while (n > 1 && data[n - 1] == 0) --n;
    char hex[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", data[i]);
        trace.out << hex;
    }
    if (total > n) trace.out << " [+" << (total - n) << "]";
}

} // namespace

void openTrace(Trace& trace, const std::string& path) {
    if (path.empty()) return;
    trace.out.open(path, std::ios::out | std::ios::trunc | std::ios::binary); // "\n" on every platform
    trace.on = trace.out.is_open();
}

void traceReport(Trace& trace, uint64_t timeUs, bool output, const uint8_t* data, size_t shown, size_t total) {
    if (!trace.on) return;
    stamp(trace, timeUs);
    trace.out << (output ? "OUT" : "IN ");
    writeBytes(trace, data, shown, total);
    trace.out << '\n';
    trace.out.flush();
}

void traceDropped(Trace& trace, uint64_t timeUs, const uint8_t* data, size_t size, const std::string& why) {
    if (!trace.on) return;
    stamp(trace, timeUs);
    trace.out << "--- dropped, never read (" << why << "): IN ";
    writeBytes(trace, data, size, size);
    trace.out << '\n';
    trace.out.flush();
}

void traceEvent(Trace& trace, uint64_t timeUs, const std::string& text) {
    if (!trace.on) return;
    stamp(trace, timeUs);
    trace.out << "--- " << text << '\n';
    trace.out.flush();
}

} // namespace vunit
