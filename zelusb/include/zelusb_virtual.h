// zelusb's virtual Bexo units, for tests and demos: plugging and unplugging
// them by hand. Present only in a library built with ZELUSB_VIRTUAL_UNITS
// (ZELUSB_HAS_VIRTUAL_UNITS is then defined for its users).
#pragma once

#include "zelusb.h"

// Plugs in the unit kept in `folder` (made with bexo-sim): from now on only
// virtual units are enumerated, and registered windows get an arrival.
ZELUSB_API int ZELVirtualPlug(const char* folder);
// Pulls it out again: an open unit loses its device, windows get a removal.
ZELUSB_API int ZELVirtualUnplug(const char* folder);
