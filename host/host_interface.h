// The library's side of the contract with the setup program: the entry point, the parameter
// block, the named variables and the message box.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The instance the dialog template and the bitmaps are loaded from; zero until attach.
extern HINSTANCE moduleInstance;

// The setup program's parameter block, a boundary record with fixed byte offsets. Only the
// fields named here are read or written.
struct DllCallParams {
    uint8_t setupReserved0[8];
    uint32_t varCapacity;    // slots the variable table has room for
    uint32_t nameSlotSize;   // bytes from one name slot to the next
    uint32_t valueSlotSize;  // bytes from one value slot to the next
    uint32_t varCount;       // slots in use
    char* varNames;          // name slot 0
    char* varValues;         // value slot 0
    uint8_t setupReserved1[8];
    const char* paramText;  // the call's parameter text
};

#if UINTPTR_MAX == 0xFFFFFFFFu
// The setup program's layout, where pointers are 32 bits wide (the Windows build).
static_assert(offsetof(DllCallParams, varCapacity) == 8);
static_assert(offsetof(DllCallParams, nameSlotSize) == 12);
static_assert(offsetof(DllCallParams, valueSlotSize) == 16);
static_assert(offsetof(DllCallParams, varCount) == 20);
static_assert(offsetof(DllCallParams, varNames) == 24);
static_assert(offsetof(DllCallParams, varValues) == 28);
static_assert(offsetof(DllCallParams, paramText) == 40);
static_assert(sizeof(DllCallParams) == 44);
#endif

// Names are stored wrapped in percent signs in a 32-byte buffer: 29 characters at most.
inline constexpr size_t kHostVariableNameMax = 29;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

// Sets %name% to value in the setup program's table, adding it when it is new and there is
// room. An update that cannot be made safely (name too long, a slot too small, a full table,
// an unusable table) is dropped without a word: the exported functions' return value is the
// result that always arrives.
void SetHostVariable(DllCallParams* params, const char* name, const char* value);

// A task-modal information box with no owner; text first, caption second.
int ShowMessage(const char* text, const char* caption);
