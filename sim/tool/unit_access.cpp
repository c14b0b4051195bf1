#include "unit_access.h"

#include "args.h"
#include "vstore/lock.h"

namespace simtool {

namespace {

void needUnit(const std::string& dir) {
    if (!vunit::isUnitFolder(dir)) throw Failure(dir + " holds no virtual unit (make one with bexo-sim create)");
}

} // namespace

vunit::UnitFolder readUnit(const std::string& dir) {
    needUnit(dir);
    return vunit::loadUnitFolder(dir);
}

void changeUnit(const std::string& dir, const std::function<void(vunit::UnitFolder&)>& change) {
    needUnit(dir);
    vunit::FolderLock lock = vunit::tryLockUnitFolder(dir);
    if (!lock.held()) throw Failure(dir + " is in use by another program; close it first");
    vunit::UnitFolder unit = vunit::loadUnitFolder(dir);
    change(unit);
    vunit::saveStorage(dir, unit.storage);
}

} // namespace simtool
