#include "win32_overlapped.h"

#include <climits>

namespace zelhid::win32 {

namespace {

DWORD waitTime(int timeoutMs) { return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs); }

// The OVERLAPPED and the buffer belong to the system until the I/O ends,
// cancelled or not; returns what it moved if it completed after all.
DWORD cancelAndDrain(HANDLE file, OVERLAPPED& overlapped) {
    CancelIo(file);
    DWORD moved = 0;
    if (!GetOverlappedResult(file, &overlapped, &moved, TRUE)) moved = 0;
    return moved;
}

WriteStatus statusOfWait(DWORD waited) {
    if (waited == WAIT_TIMEOUT) return WriteStatus::TimedOut;
    if (waited == WAIT_ABANDONED) return WriteStatus::Abandoned;
    return WriteStatus::Failed;
}

} // namespace

WriteResult writeOverlapped(HANDLE file, const uint8_t* data, size_t length, int timeoutMs) {
    WriteResult result;
    if (length > MAXDWORD) return result;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) return result;

    if (!WriteFile(file, data, static_cast<DWORD>(length), nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        CancelIo(file);
        CloseHandle(overlapped.hEvent);
        return result;
    }
    const DWORD waited = WaitForSingleObject(overlapped.hEvent, waitTime(timeoutMs));
    if (waited != WAIT_OBJECT_0) {
        cancelAndDrain(file, overlapped);
        CloseHandle(overlapped.hEvent);
        result.status = statusOfWait(waited);
        result.waitResult = waited;
        return result;
    }
    DWORD written = 0;
    const BOOL completed = GetOverlappedResult(file, &overlapped, &written, TRUE);
    CloseHandle(overlapped.hEvent);
    // A write that ended without completing in full, failed or not, is a short one.
    result.written = written;
    if (!completed || written != length) {
        CancelIo(file);
        result.status = WriteStatus::Short;
        return result;
    }
    result.status = WriteStatus::Ok;
    return result;
}

int readOverlapped(HANDLE file, HANDLE stop, uint8_t* buffer, size_t capacity, int timeoutMs) {
    if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return -1;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped.hEvent) return -1;

    const DWORD asked = capacity > INT_MAX ? INT_MAX : static_cast<DWORD>(capacity);
    if (!ReadFile(file, buffer, asked, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING) {
        CloseHandle(overlapped.hEvent);
        return -1;
    }
    // Stop comes first so that it wins a tie: a stopped reader hands out nothing more.
    const HANDLE wakers[2] = {stop, overlapped.hEvent};
    const DWORD woken = WaitForMultipleObjects(2, wakers, FALSE, waitTime(timeoutMs));
    int result = -1;
    if (woken == WAIT_OBJECT_0 + 1) {
        DWORD got = 0;
        if (GetOverlappedResult(file, &overlapped, &got, TRUE)) result = static_cast<int>(got);
    } else {
        const DWORD got = cancelAndDrain(file, overlapped);
        // A report that arrived just as time ran out is still a report.
        if (woken == WAIT_TIMEOUT) result = static_cast<int>(got);
    }
    CloseHandle(overlapped.hEvent);
    return result;
}

} // namespace zelhid::win32
