/* The companion DLL of the sample program: one exported function with a loop. */
#include <windows.h>

__declspec(dllexport) int __stdcall SampleChecksum(const char *text) {
  int sum = 0;
  int i;
  for (i = 0; text[i] != 0; ++i) sum = sum * 31 + (unsigned char)text[i];
  return sum;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return TRUE;
}
