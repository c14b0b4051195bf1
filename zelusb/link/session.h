// One open of a unit. The table slot points to it while the unit is open;
// the unit's receive thread and every call that is using the device hold a
// reference of their own. So a close (from any thread, a removal handler
// among them) never frees a device that is still in use, and a receive
// thread that outlives its close can tell that the slot is no longer its
// own: it stops touching the record the moment `live` is cleared.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

namespace zelhid {
struct Device;
}

namespace zel {

struct Session {
    explicit Session(zelhid::Device* openDevice) : device(openDevice) {}
    ~Session(); // closes the device: the last holder lets it go
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    zelhid::Device* const device;

    // Held by the receive thread while it puts anything into the record;
    // `live` is cleared under it by the close.
    std::mutex liveMutex;
    bool live = true;

    // The receive thread says here that it has ended.
    std::mutex finishedMutex;
    std::condition_variable finishedCv;
    bool finished = false;
};

} // namespace zel
