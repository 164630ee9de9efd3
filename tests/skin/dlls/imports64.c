/* A 64-bit Windows DLL without an entry point whose code calls into the
   system: it imports GetCurrentProcessId and lstrlenA from KERNEL32.dll by
   name. Loaded in a Windows process, its calls reach the real kernel32. */
#define EXPORT __declspec(dllexport)
#define WINAPI __stdcall

__declspec(dllimport) unsigned WINAPI GetCurrentProcessId(void);
__declspec(dllimport) int WINAPI lstrlenA(const char* s);

EXPORT unsigned WINAPI CallerProcessId(void) { return GetCurrentProcessId(); }
EXPORT int WINAPI TextLength(const char* s) { return lstrlenA(s); }
