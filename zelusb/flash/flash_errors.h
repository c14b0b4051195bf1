// Error codes of the directory and item operations.
#pragma once

#include <cstdint>

namespace zel {

constexpr uint8_t kDirectoryUnreadableOp = 0x1B; // ORed into bits 24-31
constexpr uint32_t kNoRoom = 0x1C000000;         // no plan, or a step or rotation without room
constexpr uint32_t kPlaceStep = 0x4000;          // a placement step is under way
constexpr uint32_t kFileError = 0x10000;
constexpr uint32_t kCancelled = 0x30000;
constexpr uint32_t kReadFailed = 0x40000;
constexpr uint32_t kShortOrWrongReply = 0x02000000; // ZELReadMemory's own

} // namespace zel
