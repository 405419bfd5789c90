// Loading the library sets nothing up: the XML runtime lives only between the
// construction and the destruction of a space. Only Windows calls an entry
// point on load; it reports success for every notification.
#if defined(_WIN32)
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
#endif
