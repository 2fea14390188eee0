// System functions bound by name on their first call rather than linked in.
#pragma once

#include <windows.h>

namespace varneth {

// A binding slot: the module and function it names, and the address every
// call goes through once the first call has bound it.
struct BindingSlot {
  const char* moduleName;
  const char* functionName;
  FARPROC address;
};

// Finds the module (already in the process, or loaded now with the standard
// search) and the function in it, stores the address into the slot and gives
// it back. "#<number>" names an ordinal; a name whose first "@" is followed by
// a second "@" is looked up by the part before them. A module or function that
// cannot be found shows the "DLL ERROR" box and ends the program.
FARPROC BindSystemFunction(const char* moduleName, const char* functionName, FARPROC* slot);

// The slot's function: bound on the first call, straight through afterwards.
template <typename Function>
Function ThroughSlot(BindingSlot& slot) {
  if (slot.address == nullptr) BindSystemFunction(slot.moduleName, slot.functionName, &slot.address);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(slot.address));
}

// A function that older systems may lack, in a module the program links (so
// already loaded): its address, or null, with no box and no end.
FARPROC FindOptionalFunction(const char* moduleName, const char* functionName);

// The program's bindings from "kernel32".
BOOL BoundGetVersionExA(OSVERSIONINFOA* info);
int BoundLstrlenW(LPCWSTR text);
void BoundRtlMoveMemory(void* destination, const void* source, SIZE_T count);

// From "ntdll", which no import library of the SDK's user mode names:
// NtDeleteKey deletes the very key an open handle with DELETE access refers
// to (ZwDeleteKey in the driver kit's documentation); its status in the
// Win32 numbering (RtlNtStatusToDosError).
LONG BoundDeleteKeyByHandle(HANDLE key);
// Tests answer in NtDeleteKey's place (Wine refuses no deletion); null binds
// the system's again on the next call.
void SetBoundNtDeleteKey(FARPROC standIn);

// Modules the binder loaded itself, in load order (at most 100 are kept).
int LoadedLibraryCount();
HMODULE LoadedLibrary(int index);
// Frees them in load order; EndProgram runs this as its last step once the
// binder has loaded anything.
void ReleaseLoadedLibraries();

// How many times BindSystemFunction has run, for tests of the slots.
int BindingCount();

}  // namespace varneth
