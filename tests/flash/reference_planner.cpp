#include "reference_planner.h"

#include "flash/directory_format.h"

#include <algorithm>

namespace flashtest {

namespace {

using zel::FreeSpace;
using zel::Plan;
using zel::PlanStep;

void bubbleBySize(std::vector<_direntry>& v) {
    for (size_t pass = 0; pass + 1 < v.size(); ++pass)
        for (size_t p = 0; p + 1 < v.size(); ++p)
            if (v[p].size < v[p + 1].size) std::swap(v[p], v[p + 1]);
}

int positionOf(const std::vector<FreeSpace>& table, int sector) {
    for (size_t p = 0; p < table.size(); ++p)
        if (table[p].sector == sector) return static_cast<int>(p);
    return -1;
}

bool search(std::vector<_direntry>& list, std::vector<_direntry> items, int spare, int depth, size_t first, Plan& plan,
            const zel::Geometry& g) {
    if (depth > 5) return false;
    const size_t L = list.size();
    std::vector<FreeSpace>& table = plan.table;
    if (depth == 0) {
        plan.bestDepth = 50;
        plan.directorySize = zel::DirectorySize(L + items.size());
        table = zel::freeSpaceTable(list, g);
        for (size_t pass = 0; pass + 1 < table.size(); ++pass)
            for (size_t p = 0; p + 1 < table.size(); ++p)
                if (table[p].free < table[p + 1].free || table[p + 1].sector == spare) std::swap(table[p], table[p + 1]);
        bubbleBySize(list);
        bubbleBySize(items);
    }
    const std::vector<FreeSpace> copy = table;
    std::vector<PlanStep> steps;
    bool all = true;
    for (const _direntry& item : items) {
        size_t at = 0;
        for (size_t p = 1; p < table.size() && int64_t{table[p].free} >= int64_t{plan.directorySize} + item.size; ++p)
            at = p;
        if (at == 0) {
            all = false;
            break;
        }
        table[at].free = static_cast<uint16_t>(table[at].free - item.size);
        while (at + 1 < table.size() && table[at + 1].free > table[at].free) {
            std::swap(table[at], table[at + 1]);
            ++at;
        }
        steps.push_back({item.id, item.type, table[at].sector});
    }
    table = copy;
    if (all) {
        plan.steps = steps;
        plan.bestDepth = std::min(plan.bestDepth, depth);
        return true;
    }
    if (depth >= plan.bestDepth - 1 || first >= L) return false;
    bool any = false;
    for (size_t i = first; i < L; ++i) {
        std::vector<_direntry> more = items;
        more.push_back(list[i]);
        int at = positionOf(table, zel::sectorOf(list[i].address));
        if (at >= 0) {
            table[static_cast<size_t>(at)].free = static_cast<uint16_t>(table[static_cast<size_t>(at)].free + list[i].size);
            while (at > 1 && table[static_cast<size_t>(at) - 1].free < table[static_cast<size_t>(at)].free) {
                std::swap(table[static_cast<size_t>(at) - 1], table[static_cast<size_t>(at)]);
                --at;
            }
        }
        if (search(list, more, spare, depth + 1, i + 1, plan, g)) {
            any = true;
            if (plan.bestDepth <= depth + 1) return true;
        }
        table = copy;
    }
    return any;
}

} // namespace

bool referencePlan(std::vector<_direntry>& list, std::vector<_direntry> items, int spare, const zel::Geometry& geometry,
                   zel::Plan& plan) {
    plan.steps.clear();
    return search(list, std::move(items), spare, 0, 0, plan, geometry);
}

} // namespace flashtest
