// The device tests need umockdev's preload library loaded before anything
// else runs, so the program starts itself again under it. It also serves as
// the "other process" of the tests when given one of the modes below.
#include "backends.h"
#include "device_modes.h"
#include "testbed.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";

bool preloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

int restartPreloaded(char** argv) {
    const char* old = std::getenv("LD_PRELOAD");
    const std::string preload = old && *old ? std::string(kPreload) + ":" + old : kPreload;
    setenv("LD_PRELOAD", preload.c_str(), 1);
    // AddressSanitizer wants to come first; the preload is loaded ahead of it.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = (asan && *asan ? std::string(asan) + ":" : std::string()) +
                                    "verify_asan_link_order=0";
    setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::perror("device tests: cannot restart under umockdev");
    return 1;
}

int probeOpen(const std::string& path) {
    bool busy = false;
    zelhid::Device* device = zelhid::native::openExclusive(path, &busy);
    if (!device) return busy ? bexo_test::kProbeBusy : bexo_test::kProbeFailed;
    zelhid::native::close(device);
    return bexo_test::kProbeOpened;
}

void ignore(void*, bool, const std::string&) {}

} // namespace

// umockdev's testbed thread and the preload talk through GLib and GIO, which
// are not built for ThreadSanitizer: their fd hand-overs look like races.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
    return "race:libglib-2.0.so\nrace:libgio-2.0.so\n";
}

int main(int argc, char** argv) {
    if (!preloaded()) return restartPreloaded(argv);
    if (argc == 3 && std::strcmp(argv[1], bexo_test::kProbeOpenMode) == 0) return probeOpen(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], bexo_test::kWatchThenExitMode) == 0) {
        return zelhid::native::watchDevices(ignore, nullptr) ? 0 : bexo_test::kProbeFailed;
    }
    testing::InitGoogleTest(&argc, argv);
    bexo_test::startTestbed();
    const int result = RUN_ALL_TESTS();
    bexo_test::releaseTestbed();
    return result;
}
