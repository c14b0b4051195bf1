// Report writes and reads with overlapped I/O on any handle opened with
// FILE_FLAG_OVERLAPPED. The HID backend runs them on devices; they take a
// plain HANDLE so that the same code can be exercised on pipes.
#pragma once

#include "hid.h"
#include "win32_api.h"

namespace zelhid::win32 {

// One write with its own event; waits up to timeoutMs (negative: forever).
// Every failure cancels the I/O and waits until the system has let go of the
// buffer, so the caller may reuse it at once.
WriteResult writeOverlapped(HANDLE file, const uint8_t* data, size_t length, int timeoutMs);

// One read of up to `capacity` bytes. Bytes read; 0 on time-out; -1 when the
// read failed or `stop` is (or becomes) signalled. On time-out and stop the
// read is cancelled and drained before returning: nothing lands in `buffer`
// afterwards.
int readOverlapped(HANDLE file, HANDLE stop, uint8_t* buffer, size_t capacity, int timeoutMs);

} // namespace zelhid::win32
