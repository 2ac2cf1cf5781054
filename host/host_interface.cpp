#include "host/host_interface.h"

#include <cstring>

HINSTANCE moduleInstance = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
    } else if (reason == DLL_PROCESS_DETACH) {
        moduleInstance = nullptr;
    }
    return TRUE;
}

namespace {

// Slot i of a table whose slots are slotSize bytes apart, or null when the address cannot
// be formed.
char* Slot(char* base, uint32_t index, uint32_t slotSize) {
    const uint64_t offset = uint64_t{index} * slotSize;
    if (offset > UINTPTR_MAX - reinterpret_cast<uintptr_t>(base)) {
        return nullptr;
    }
    return base + static_cast<uintptr_t>(offset);
}

// A slot matches when it holds the wrapped name, terminator included, within its own size;
// a slot with no terminator inside it is never read past its end.
bool SlotHolds(const char* slot, uint32_t slotSize, const char* wrapped) {
    if (std::memchr(slot, '\0', slotSize) == nullptr) {
        return false;
    }
    return lstrcmpA(slot, wrapped) == 0;
}

}  // namespace

void SetHostVariable(DllCallParams* params, const char* name, const char* value) {
    if (params == nullptr || name == nullptr || value == nullptr || params->varNames == nullptr ||
        params->varValues == nullptr) {
        return;
    }
    // A count beyond the capacity would send the search, and a match's value, past the end of
    // the setup program's table; such a table is inconsistent, so nothing in it is trusted.
    if (params->varCount > params->varCapacity) {
        return;
    }
    const size_t nameLength = std::strlen(name);
    if (nameLength > kHostVariableNameMax) {
        return;
    }
    char wrapped[32];
    lstrcpyA(wrapped, "%");
    lstrcatA(wrapped, name);
    lstrcatA(wrapped, "%");
    const size_t wrappedSize = nameLength + 3;
    const size_t valueSize = std::strlen(value) + 1;
    if (valueSize > params->valueSlotSize) {
        return;  // the value would not fit any slot
    }

    // 32-bit index: a table of 65,536 or more variables cannot make it wrap and loop forever.
    uint32_t index = 0;
    while (index < params->varCount) {
        const char* slot = Slot(params->varNames, index, params->nameSlotSize);
        if (slot == nullptr || params->nameSlotSize == 0) {
            return;
        }
        if (SlotHolds(slot, params->nameSlotSize, wrapped)) {
            break;
        }
        ++index;
    }
    char* valueSlot = Slot(params->varValues, index, params->valueSlotSize);
    if (valueSlot == nullptr) {
        return;
    }
    if (index >= params->varCount) {
        if (index >= params->varCapacity || wrappedSize > params->nameSlotSize) {
            return;  // full table, or a name slot too small for the name
        }
        char* nameSlot = Slot(params->varNames, index, params->nameSlotSize);
        if (nameSlot == nullptr) {
            return;
        }
        lstrcpyA(nameSlot, wrapped);
        ++params->varCount;
    }
    lstrcpyA(valueSlot, value);
}

int ShowMessage(const char* text, const char* caption) {
    return MessageBoxA(nullptr, text, caption, MB_TASKMODAL | MB_ICONINFORMATION);
}
