// The report writer and reader on a named pipe: the test plays the device
// at the server end. Any handle opened for overlapped I/O behaves alike.
#include "win32_overlapped.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using zelhid::WriteStatus;
using zelhid::win32::readOverlapped;
using zelhid::win32::writeOverlapped;

constexpr int kGenerousMs = 10000; // only bounds a broken implementation

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Both ends of a fresh byte pipe, opened for overlapped I/O. A write larger
// than the pipe's 4 KiB quota pends until the other end reads.
struct PipePair {
    HANDLE server = INVALID_HANDLE_VALUE;
    HANDLE client = INVALID_HANDLE_VALUE;
};

PipePair openPipePair() {
    constexpr DWORD quota = 4096;
    static int serial = 0;
    char name[64];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\bexo-hid-test-%lu-%d", GetCurrentProcessId(), ++serial);
    PipePair pipe;
    pipe.server = CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                   quota, quota, 0, nullptr);
    pipe.client = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                              nullptr);
    return pipe;
}

void closePipe(HANDLE& end) {
    if (end != INVALID_HANDLE_VALUE) CloseHandle(end);
    end = INVALID_HANDLE_VALUE;
}

void closePipePair(PipePair& pipe) {
    closePipe(pipe.client);
    closePipe(pipe.server);
}

template <size_t N> bool untouched(const std::array<uint8_t, N>& buffer) {
    return std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0xEE; });
}

class OverlappedIo : public ::testing::Test {
protected:
    void SetUp() override {
        pipe = openPipePair();
        ASSERT_NE(pipe.server, INVALID_HANDLE_VALUE);
        ASSERT_NE(pipe.client, INVALID_HANDLE_VALUE);
        stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        idle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        closePipePair(pipe);
        CloseHandle(stop);
        CloseHandle(idle);
    }
    // The device side: what the unit "sends" and what it "received".
    void serverSends(const std::string& text) {
        const auto data = bytes(text);
        ASSERT_EQ(writeOverlapped(pipe.server, data.data(), data.size(), kGenerousMs).status, WriteStatus::Ok);
    }
    std::string serverReceives(size_t capacity) {
        std::vector<uint8_t> buffer(capacity);
        const int n = readOverlapped(pipe.server, idle, buffer.data(), buffer.size(), kGenerousMs);
        return n > 0 ? std::string(buffer.begin(), buffer.begin() + n) : std::string();
    }

    PipePair pipe;
    HANDLE stop = nullptr; // the reader's stop event under test
    HANDLE idle = nullptr; // a stop event never set
};

TEST_F(OverlappedIo, ReportsTravelBothWaysWhole) {
    const auto report = bytes("\x13report\x03");
    const zelhid::WriteResult written = writeOverlapped(pipe.client, report.data(), report.size(), kGenerousMs);
    EXPECT_EQ(written.status, WriteStatus::Ok);
    EXPECT_EQ(written.written, report.size());
    EXPECT_EQ(serverReceives(64), "\x13report\x03");

    serverSends("\x01input!");
    std::array<uint8_t, 32> buffer{};
    ASSERT_EQ(readOverlapped(pipe.client, stop, buffer.data(), buffer.size(), kGenerousMs), 7);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 7), "\x01input!");
}

// A timed-out read must not stay pending: if it did, the next report would
// land in the abandoned buffer instead of reaching the next read.
TEST_F(OverlappedIo, TimedOutReadIsCancelledAndLeavesBufferAlone) {
    std::array<uint8_t, 16> abandoned;
    abandoned.fill(0xEE);
    EXPECT_EQ(readOverlapped(pipe.client, stop, abandoned.data(), abandoned.size(), 30), 0);

    serverSends("late");
    std::array<uint8_t, 16> next{};
    ASSERT_EQ(readOverlapped(pipe.client, stop, next.data(), next.size(), kGenerousMs), 4);
    EXPECT_EQ(std::string(next.begin(), next.begin() + 4), "late");
    EXPECT_TRUE(untouched(abandoned));
}

TEST_F(OverlappedIo, StopEndsPendingReadAndEveryLaterOne) {
    std::array<uint8_t, 16> buffer;
    buffer.fill(0xEE);
    std::promise<int> result;
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // The reader stays alive after its read: a thread's exit would cancel a
    // read left pending and hide the fault.
    std::thread reader([&] {
        result.set_value(readOverlapped(pipe.client, stop, buffer.data(), buffer.size(), -1));
        WaitForSingleObject(release, INFINITE);
    });
    std::future<int> done = result.get_future();
    // Give the read time to be pending; it ends with -1 either way.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SetEvent(stop);
    if (done.wait_for(std::chrono::milliseconds(kGenerousMs)) == std::future_status::ready) {
        EXPECT_EQ(done.get(), -1);
        // Stopped stays stopped, even with a report waiting; nothing is consumed.
        serverSends("after");
        EXPECT_EQ(readOverlapped(pipe.client, stop, buffer.data(), buffer.size(), kGenerousMs), -1);
        std::array<uint8_t, 16> next{};
        EXPECT_EQ(readOverlapped(pipe.client, idle, next.data(), next.size(), kGenerousMs), 5);
        EXPECT_TRUE(untouched(buffer));
    } else {
        ADD_FAILURE() << "the stop event did not end the pending read";
        closePipePair(pipe); // ends the read so that the test fails instead of hanging
    }
    SetEvent(release);
    reader.join();
    CloseHandle(release);
}

TEST_F(OverlappedIo, WriteNobodyTakesTimesOut) {
    const std::vector<uint8_t> large(256 * 1024, 0x13);
    const zelhid::WriteResult result = writeOverlapped(pipe.client, large.data(), large.size(), 30);
    EXPECT_EQ(result.status, WriteStatus::TimedOut);
    EXPECT_EQ(result.waitResult, 258u);

    // The write was cancelled, not left to finish later: a report written next
    // follows whatever part of it got in, and the rest never comes.
    const auto report = bytes("next");
    ASSERT_EQ(writeOverlapped(pipe.client, report.data(), report.size(), kGenerousMs).status, WriteStatus::Ok);
    std::string arrived;
    std::vector<uint8_t> chunk(64 * 1024);
    for (int n; (n = readOverlapped(pipe.server, idle, chunk.data(), chunk.size(), 200)) > 0;)
        arrived.append(chunk.begin(), chunk.begin() + n);
    EXPECT_LT(arrived.size(), large.size());
    ASSERT_GE(arrived.size(), 4u);
    EXPECT_EQ(arrived.substr(arrived.size() - 4), "next");
}

// A pipe in no-wait mode completes a write that doesn't fit with fewer bytes.
TEST_F(OverlappedIo, WriteOfFewerBytesIsShort) {
    DWORD mode = PIPE_NOWAIT;
    ASSERT_TRUE(SetNamedPipeHandleState(pipe.client, &mode, nullptr, nullptr));
    const std::vector<uint8_t> large(256 * 1024, 0x13);
    const zelhid::WriteResult result = writeOverlapped(pipe.client, large.data(), large.size(), kGenerousMs);
    EXPECT_EQ(result.status, WriteStatus::Short);
    EXPECT_LT(result.written, large.size());
}

// The write was accepted and pending, then ended in failure: that is a write
// that did not complete in full (0x1003 with its counts), not a refused one.
TEST_F(OverlappedIo, PendingWriteThatFailsIsShort) {
    const std::vector<uint8_t> large(256 * 1024, 0x13);
    auto pending = std::async(std::launch::async,
                              [&] { return writeOverlapped(pipe.client, large.data(), large.size(), kGenerousMs); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    closePipe(pipe.server);
    const zelhid::WriteResult result = pending.get();
    EXPECT_EQ(result.status, WriteStatus::Short);
    EXPECT_LT(result.written, large.size());
}

TEST_F(OverlappedIo, ClosedOtherEndFailsWritesAndReads) {
    closePipe(pipe.server);
    const auto report = bytes("gone");
    const zelhid::WriteResult written = writeOverlapped(pipe.client, report.data(), report.size(), kGenerousMs);
    EXPECT_EQ(written.status, WriteStatus::Failed);
    EXPECT_EQ(written.written, 0u);
    std::array<uint8_t, 8> buffer{};
    EXPECT_EQ(readOverlapped(pipe.client, stop, buffer.data(), buffer.size(), kGenerousMs), -1);
}

} // namespace
