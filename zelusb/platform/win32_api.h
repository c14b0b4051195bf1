// The Windows headers the HID backend and the window seam need. MinGW's
// hidsdi.h declares C functions without a C++ guard.
#pragma once

#include <windows.h>

#include <dbt.h>
#include <setupapi.h>

extern "C" {
#include <hidsdi.h>
}
