#pragma once
// Functions of kernel32 that not every Windows the program runs on has: looked up when called, so
// that the program still starts without them.

#include <windows.h>

namespace setup::win32 {

// kernel32's function `name` as `Function`, or null where this Windows lacks it.
template <typename Function>
Function Kernel32(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

}  // namespace setup::win32
