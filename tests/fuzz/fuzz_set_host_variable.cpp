// SetHostVariable on arbitrary variable tables, as a setup program might hand them over. The
// name and value tables are heap blocks of exactly capacity * slot size bytes, so that
// AddressSanitizer sees any access outside them. After each call the whole table is compared
// with what a plain model of the update says: at most one value slot (and, for a new variable,
// the name slot next in line) changes, varCount grows by at most one, the rest of the parameter
// block is untouched. Any difference traps.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_interface.h"

namespace {

constexpr uint32_t kMaxTableBytes = 64 * 1024;  // per table, so that runs stay fast

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// One table: its slots are filled with short strings from the input over a fill byte, so that
// some slots hold a terminated name and others hold no terminator at all.
std::vector<char> MakeTable(FuzzedDataProvider& in, uint32_t capacity, uint32_t slotSize) {
    std::vector<char> table(static_cast<size_t>(capacity) * slotSize,
                            static_cast<char>(in.ConsumeIntegral<uint8_t>()));
    for (uint32_t i = 0; i < capacity && slotSize > 0 && in.remaining_bytes() > 0; ++i) {
        const std::string s = in.ConsumeRandomLengthString(slotSize);
        std::memcpy(table.data() + static_cast<size_t>(i) * slotSize, s.data(), s.size());
    }
    return table;
}

// What the update must do, written out plainly.
void Model(uint32_t capacity, uint32_t nameSlot, uint32_t valueSlot, uint32_t& count,
           std::vector<char>& names, std::vector<char>& values, const char* name,
           const char* value) {
    if (name == nullptr || value == nullptr) {
        return;
    }
    const std::string wrapped = std::string("%") + name + "%";
    const size_t wrappedSize = wrapped.size() + 1;
    const size_t valueSize = std::strlen(value) + 1;
    // A table that says it holds more variables than it has room for cannot be trusted.
    if (std::strlen(name) > kHostVariableNameMax || valueSize > valueSlot || count > capacity ||
        nameSlot == 0) {
        return;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (wrappedSize <= nameSlot && std::memcmp(names.data() + static_cast<size_t>(i) * nameSlot,
                                                   wrapped.c_str(), wrappedSize) == 0) {
            std::memcpy(values.data() + static_cast<size_t>(i) * valueSlot, value, valueSize);
            return;
        }
    }
    if (count < capacity && wrappedSize <= nameSlot) {
        std::memcpy(names.data() + static_cast<size_t>(count) * nameSlot, wrapped.c_str(),
                    wrappedSize);
        std::memcpy(values.data() + static_cast<size_t>(count) * valueSlot, value, valueSize);
        ++count;
    }
}

// A heap copy of exactly the table's size; new char[0] for an empty one.
char* HeapCopy(const std::vector<char>& table) {
    char* p = new char[table.size()];
    if (!table.empty()) {
        std::memcpy(p, table.data(), table.size());
    }
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider in(input, size);
    const uint32_t nameSlot = in.ConsumeIntegralInRange<uint32_t>(0, 300);
    const uint32_t valueSlot = in.ConsumeIntegralInRange<uint32_t>(0, 300);
    uint32_t capacity = in.ConsumeIntegralInRange<uint32_t>(0, 1024);
    const uint32_t widest = nameSlot > valueSlot ? nameSlot : valueSlot;
    if (widest != 0 && capacity > kMaxTableBytes / widest) {
        capacity = kMaxTableBytes / widest;
    }
    // Mostly a count the table can hold; sometimes any number a broken caller might leave.
    const uint32_t count = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, capacity)
                                            : in.ConsumeIntegral<uint32_t>();
    const uint8_t flags = in.ConsumeIntegral<uint8_t>();

    std::vector<char> names = MakeTable(in, capacity, nameSlot);
    std::vector<char> values = MakeTable(in, capacity, valueSlot);

    // The name: new, or (to reach updates) the one a slot holds between its percent signs.
    std::string name = in.ConsumeRandomLengthString(40);
    if ((flags & 0x08) != 0 && capacity > 0 && nameSlot > 2) {
        const uint32_t slot = in.ConsumeIntegralInRange<uint32_t>(0, capacity - 1);
        const char* s = names.data() + static_cast<size_t>(slot) * nameSlot;
        const size_t n = strnlen(s, nameSlot);
        name = n >= 2 ? std::string(s + 1, n - 2) : std::string();
    }
    const std::string value = in.ConsumeRandomLengthString(320);

    char* heapNames = HeapCopy(names);
    char* heapValues = HeapCopy(values);
    DllCallParams params{};
    for (size_t i = 0; i < sizeof params.setupReserved0; ++i) {
        params.setupReserved0[i] = static_cast<uint8_t>(0xE0 + i);
        params.setupReserved1[i] = static_cast<uint8_t>(0xF0 + i);
    }
    params.varCapacity = capacity;
    params.nameSlotSize = nameSlot;
    params.valueSlotSize = valueSlot;
    params.varCount = count;
    params.varNames = (flags & 0x01) != 0 ? nullptr : heapNames;
    params.varValues = (flags & 0x02) != 0 ? nullptr : heapValues;
    params.paramText = "unused";
    const char* namePointer = (flags & 0x10) != 0 ? nullptr : name.c_str();
    const char* valuePointer = (flags & 0x20) != 0 ? nullptr : value.c_str();
    const DllCallParams before = params;

    SetHostVariable((flags & 0x04) != 0 ? nullptr : &params, namePointer, valuePointer);

    uint32_t expectedCount = count;
    if ((flags & 0x07) == 0) {
        Model(capacity, nameSlot, valueSlot, expectedCount, names, values, namePointer,
              valuePointer);
    }
    Check(params.varCount == expectedCount);
    Check(expectedCount == count || expectedCount == count + 1);
    DllCallParams rest = params;
    rest.varCount = before.varCount;
    Check(std::memcmp(&rest, &before, sizeof rest) == 0);
    Check(names.empty() || std::memcmp(heapNames, names.data(), names.size()) == 0);
    Check(values.empty() || std::memcmp(heapValues, values.data(), values.size()) == 0);

    delete[] heapNames;
    delete[] heapValues;
    return 0;
}
