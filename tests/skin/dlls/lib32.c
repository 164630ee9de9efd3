/* A 32-bit Windows DLL without an entry point that imports from two
   libraries, by name and by ordinal, and holds absolute addresses (base
   relocations). It never runs on the test machine; the tests inspect it. */
#define EXPORT __declspec(dllexport)

__declspec(dllimport) int HostAdd(int a, int b); /* kvhost.dll, by name */
__declspec(dllimport) int HostSeven(void);       /* kvhost.dll, ordinal 7 only */
__declspec(dllimport) int AuxValue(void);        /* kvaux.dll, by name */

EXPORT int Counter = 5;
EXPORT int* CounterPtr = &Counter;
EXPORT const int Table[4] = {1, 2, 3, 5};
static int scratch[1024]; /* uninitialised data */

EXPORT int Use(int a) {
  scratch[a & 1023] += a;
  return HostAdd(a, HostSeven()) + AuxValue() + Counter + Table[a & 3] + scratch[0];
}
