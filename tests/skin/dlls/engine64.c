/* A stand-in skin engine: a 64-bit Windows DLL without imports, built
   -nostdlib with its own entry point. The entry point records that it ran;
   SkinH_AttachRes records what it was handed. Everything it records is
   exported as data, so the host can read it through the export table.
   Built with -DREFUSE_ATTACH, the entry point turns the process attach down. */
#define EXPORT __declspec(dllexport)
#define WINAPI __stdcall /* the one x64 convention; kept for the reader */

typedef int BOOL;
enum { kProcessDetach = 0, kProcessAttach = 1 };

EXPORT volatile int Attached;
EXPORT void* volatile EntryInstance;
/* An absolute address: the image needs a relocation when placed elsewhere. */
EXPORT volatile int* AttachedPtr = &Attached;
/* Read-only data, so the image has a read-only section. */
EXPORT const char ReadOnlyText[] = "read-only";

EXPORT int ReceivedSize = -1;
EXPORT unsigned ReceivedHash;
EXPORT unsigned char ReceivedHead[8];
EXPORT const char* ReceivedPassword = (const char*)1;
EXPORT int ReceivedAdjust[3] = {-1, -1, -1};
EXPORT int AttachCalls;

static volatile int* detachCounter;

/* The host hands a counter that the detach call increments. */
EXPORT void WINAPI SetDetachCounter(volatile int* counter) { detachCounter = counter; }

EXPORT int WINAPI SkinH_AttachRes(const unsigned char* skin, int size, const char* password, int hue,
                                  int saturation, int brightness) {
  unsigned h = 2166136261u; /* FNV-1a */
  for (int i = 0; i < size; ++i) {
    h = (h ^ skin[i]) * 16777619u;
    if (i < 8) ReceivedHead[i] = skin[i];
  }
  ReceivedHash = h;
  ReceivedSize = size;
  ReceivedPassword = password;
  ReceivedAdjust[0] = hue;
  ReceivedAdjust[1] = saturation;
  ReceivedAdjust[2] = brightness;
  ++AttachCalls;
  return 1;
}

BOOL WINAPI DllEntry(void* instance, unsigned reason, void* reserved) {
  (void)reserved;
  if (reason == kProcessAttach) {
#ifdef REFUSE_ATTACH
    return 0;
#endif
    EntryInstance = instance;
    Attached = 1;
  } else if (reason == kProcessDetach) {
    Attached = 0;
    if (detachCounter) ++*detachCounter;
  }
  return 1;
}
