// Reading one item, found in the directory by type or by id.
#include "../link/status.h"
#include "../link/transport.h"
#include "cancel.h"
#include "directory_io.h"
#include "flash_errors.h"
#include "zelusb.h"

#include <cstring>

using namespace zel;

namespace {

enum class Key { Type, Id };

int readItem(int unit, Key key, unsigned int wanted, char* data, unsigned int* length, bool partial) {
    if (!record(unit) || !length) return 0;
    clearCancel(unit);
    postStatus(unit, ZEL_STATUS_ITEM_BEGIN, 0, 0);
    const DirectoryRead d = readDirectory(unit);
    if (d.result != 1) {
        orOperation(unit, kDirectoryUnreadableOp);
        return 0;
    }
    const _direntry* item = nullptr;
    for (const _direntry& e : d.entries) {
        if ((key == Key::Type ? e.type : e.id) == wanted) {
            item = &e;
            break;
        }
    }
    if (!item) return 0;
    const bool toBuffer = *length != 0;
    unsigned long n = item->size;
    if (!ZELReadFile(unit, item->address, n, toBuffer ? nullptr : data, toBuffer ? data : nullptr, partial ? 1 : 0))
        return 0;
    postStatus(unit, ZEL_STATUS_ITEM_END, static_cast<int>(n), static_cast<int>(n));
    if (!partial) {
        *length = static_cast<unsigned int>(n);
        return 1;
    }
    if (toBuffer && data && n < item->size) std::memset(data + n, 0xFF, item->size - n);
    *length = item->size;
    return 1;
}

} // namespace

int ZELReadDirectoryItemByType(int unit, unsigned char type, char* data, unsigned int* length) {
    return readItem(unit, Key::Type, type, data, length, false);
}

int ZELReadDirectoryItemByID(int unit, unsigned int id, char* data, unsigned int* length) {
    return readItem(unit, Key::Id, id, data, length, false);
}

int ZELReadDirectoryItemPartialByID(int unit, unsigned int id, char* data, unsigned int* length) {
    return readItem(unit, Key::Id, id, data, length, true);
}
