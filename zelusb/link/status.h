// Progress for long operations, posted to the unit's status window.
#pragma once

namespace zel {
// Posts a status record when the unit has a status window; always 1.
int postStatus(int unit, int kind, int position, int range);
} // namespace zel
