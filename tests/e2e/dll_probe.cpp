// Loads version.dll by its bare name, as an unhardened program would, so that the planted-DLL
// scenario can show that a DLL beside the program is really found first.

#include <windows.h>

int wmain() {
  HMODULE module = LoadLibraryW(L"version.dll");
  if (!module) return 1;
  FreeLibrary(module);
  return 0;
}
