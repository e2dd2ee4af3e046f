// Platform detection, optional system functions and small start-up helpers.
#pragma once
#include <windows.h>
#include <cstdint>

// A number from the environment in base 0 (decimal, 0x hex, leading 0 octal); 0 when unset.
uint32_t envNumber(const wchar_t* name);
