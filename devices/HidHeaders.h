// SetupAPI and HID declarations. MinGW's hidsdi.h lacks extern "C", so the
// HID functions would otherwise be looked up under C++ names.
#pragma once

#include <windows.h>

#include <setupapi.h>

extern "C"
{
#include <hidsdi.h>
}

#include <dbt.h>
