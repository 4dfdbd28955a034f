// A small library for the dynamic-loading and import-patch tests. It imports
// GetTickCount from kernel32 by name and shell32's network-drive test by
// ordinal 66, so that a test can replace either import.
#include <windows.h>

extern "C" __declspec(dllimport) BOOL WINAPI IsNetDrive(int drive);

extern "C" __declspec(dllexport) int __cdecl probeAnswer() { return 42; }

extern "C" __declspec(dllexport) DWORD __cdecl probeTicks() { return GetTickCount(); }

extern "C" __declspec(dllexport) int __cdecl probeIsNetDrive(int drive) { return IsNetDrive(drive); }
