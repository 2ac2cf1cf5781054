// A setup program's variable table and parameter block, exactly as large as it says, so that
// a write past a slot or the table is caught by the sanitizers. Unused bytes hold a fill pattern.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/host_interface.h"

struct HostTable {
    HostTable(uint32_t capacity, uint32_t nameSlot, uint32_t valueSlot,
              const std::vector<std::pair<std::string, std::string>>& vars = {},
              const char* paramText = "")
        : names(size_t{capacity} * nameSlot, 'n'), values(size_t{capacity} * valueSlot, 'v') {
        params.varCapacity = capacity;
        params.nameSlotSize = nameSlot;
        params.valueSlotSize = valueSlot;
        params.varNames = names.data();
        params.varValues = values.data();
        params.paramText = paramText;
        for (const auto& [name, value] : vars) {
            std::memcpy(names.data() + size_t{params.varCount} * nameSlot, name.c_str(),
                        name.size() + 1);
            std::memcpy(values.data() + size_t{params.varCount} * valueSlot, value.c_str(),
                        value.size() + 1);
            ++params.varCount;
        }
    }
    // A copy keeps the bytes for comparison; its params still point into the original.
    std::string Name(uint32_t i) const { return names.data() + size_t{i} * params.nameSlotSize; }
    std::string Value(uint32_t i) const { return values.data() + size_t{i} * params.valueSlotSize; }
    // The value of the variable %name% among the slots in use, or "<unset>".
    std::string Lookup(const std::string& wrappedName) const {
        for (uint32_t i = 0; i < params.varCount && i < params.varCapacity; ++i) {
            if (Name(i) == wrappedName) {
                return Value(i);
            }
        }
        return "<unset>";
    }

    std::vector<char> names, values;
    DllCallParams params{};
};
