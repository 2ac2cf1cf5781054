// The entry point, %NAME% variables in a setup program's table, and the message box.
#include "host/host_interface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "headless/headless_control.h"
#include "tests/support/host_table.h"

namespace {

TEST(DllMain, RecordsTheInstanceOnProcessAttachOnly) {
    const HINSTANCE instance = HeadlessModuleInstance();
    ASSERT_EQ(moduleInstance, nullptr) << "zero when the library is loaded";
    EXPECT_EQ(DllMain(instance, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_EQ(moduleInstance, instance);
    for (DWORD reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH}) {
        EXPECT_EQ(DllMain(nullptr, reason, nullptr), TRUE);
        EXPECT_EQ(moduleInstance, instance) << "reason " << reason;
    }
    EXPECT_EQ(DllMain(instance, DLL_PROCESS_DETACH, nullptr), TRUE);
    EXPECT_EQ(moduleInstance, nullptr);
}

TEST(SetHostVariable, SetsAddsOrDropsAsTheTableAllows) {
    struct Case {
        const char* what;
        uint32_t capacity;
        std::vector<std::pair<std::string, std::string>> vars;
        uint32_t expectedCount;
        int slotWithValue;  // -1: nothing written
    };
    const Case cases[] = {
        {"first variable", 4, {}, 1, 0},
        {"rewrites an existing value", 4, {{"%A%", "x"}, {"%DLLRETURN%", "0"}}, 2, 1},
        {"full table with the name still gets the value",
         2,
         {{"%A%", "x"}, {"%DLLRETURN%", "0"}},
         2,
         1},
        {"full table without the name is left alone", 2, {{"%A%", "x"}, {"%B%", "y"}}, 2, -1},
        {"match is case-sensitive", 3, {{"%dllreturn%", "x"}}, 2, 1},
        {"percent signs are part of the name", 3, {{"DLLRETURN", "x"}}, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HostTable t(c.capacity, 32, 16, c.vars);
        const HostTable before = t;
        SetHostVariable(&t.params, "DLLRETURN", "1");
        EXPECT_EQ(t.params.varCount, c.expectedCount);
        for (uint32_t i = 0; i < c.capacity; ++i) {
            if (static_cast<int>(i) == c.slotWithValue) {
                EXPECT_EQ(t.Name(i), "%DLLRETURN%");
                EXPECT_EQ(t.Value(i), "1");
            } else {
                EXPECT_EQ(std::memcmp(t.names.data() + i * 32, before.names.data() + i * 32, 32), 0)
                    << "name slot " << i;
                EXPECT_EQ(std::memcmp(t.values.data() + i * 16, before.values.data() + i * 16, 16),
                          0)
                    << "value slot " << i;
            }
        }
    }
}

TEST(SetHostVariable, RefusesWhatCannotBeWrittenSafely) {
    struct Case {
        const char* what;
        std::string name;
        const char* value;
        uint32_t nameSlot, valueSlot;
    };
    const Case cases[] = {
        {"name longer than 29 characters", std::string(30, 'N'), "1", 64, 16},
        {"name slot too small for %NAME% and its terminator", "DLLRETURN", "1", 11, 16},
        {"value slot too small for the value and its terminator", "DLLRETURN", "1", 32, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HostTable t(3, c.nameSlot, c.valueSlot, {});
        const HostTable before = t;
        SetHostVariable(&t.params, c.name.c_str(), c.value);
        EXPECT_EQ(t.params.varCount, 0u);
        EXPECT_EQ(t.names, before.names);
        EXPECT_EQ(t.values, before.values);
    }
    // The longest name that fits is taken, into a slot just large enough.
    HostTable t(1, 32, 2, {});
    SetHostVariable(&t.params, std::string(29, 'N').c_str(), "0");
    EXPECT_EQ(t.params.varCount, 1u);
    EXPECT_EQ(t.Name(0), "%" + std::string(29, 'N') + "%");
    EXPECT_EQ(t.Value(0), "0");
    // Unusable tables are ignored, not dereferenced.
    SetHostVariable(nullptr, "DLLRETURN", "1");
    DllCallParams empty{};
    empty.varCapacity = 5;
    SetHostVariable(&empty, "DLLRETURN", "1");
    EXPECT_EQ(empty.varCount, 0u);
}

TEST(SetHostVariable, ASlotWithoutTerminatorIsNeverReadPastItsEnd) {
    // Slot 0 holds "%DLLRETURN%" plus garbage up to the very end of its 12 bytes and no
    // terminator: it is not the variable, and the search goes on to append it.
    HostTable t(2, 12, 4, {{"%A%", "x"}});
    std::memcpy(t.names.data(), "%DLLRETURN%X", 12);
    SetHostVariable(&t.params, "DLLRETURN", "1");
    EXPECT_EQ(t.params.varCount, 2u);
    EXPECT_EQ(t.Name(1), "%DLLRETURN%");
    EXPECT_EQ(t.Value(1), "1");
}

TEST(SetHostVariable, ATableCountingMoreVariablesThanItHasRoomForIsLeftAlone) {
    // varCount comes from the setup program like everything else in the block; slots past
    // varCapacity are not the table's, so they are neither searched nor written.
    struct Case {
        const char* what;
        uint32_t count;
        int nameAt;  // slot that holds %DLLRETURN%, -1: none
    };
    const Case cases[] = {
        {"the name in a slot past the table", 4, 3},
        {"the name nowhere", 4, -1},
        {"the name in the table", 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Room for four slots behind a table that says it has two, so that a write past the
        // table lands where the test sees it.
        HostTable t(4, 32, 16, {{"%A%", "x"}, {"%B%", "y"}, {"%C%", "z"}, {"%D%", "w"}});
        if (c.nameAt >= 0) {
            std::memcpy(t.names.data() + c.nameAt * 32, "%DLLRETURN%", 12);
        }
        t.params.varCapacity = 2;
        t.params.varCount = c.count;
        const HostTable before = t;
        SetHostVariable(&t.params, "DLLRETURN", "1");
        EXPECT_EQ(t.params.varCount, c.count);
        EXPECT_EQ(t.names, before.names);
        EXPECT_EQ(t.values, before.values);
    }
    // The same with a table of exactly its stated size, for the sanitizers: no slot past it
    // is even read.
    HostTable exact(2, 32, 16, {{"%A%", "x"}, {"%B%", "y"}});
    exact.params.varCount = 3;
    SetHostVariable(&exact.params, "DLLRETURN", "1");
    EXPECT_EQ(exact.params.varCount, 3u);
}

TEST(SetHostVariable, TablesOfMoreThan65535VariablesAreSearchedToTheEnd) {
    // A 16-bit index would wrap to 0 here and never end; the name is found past 65,536.
    constexpr uint32_t kCount = 70000;
    HostTable t(kCount + 1, 16, 4, {});
    for (uint32_t i = 0; i < kCount; ++i) {
        std::snprintf(t.names.data() + size_t{i} * 16, 16, "%%V%u%%", i);
    }
    t.params.varCount = kCount;
    std::memcpy(t.names.data() + size_t{66000} * 16, "%DLLRETURN%", 12);
    SetHostVariable(&t.params, "DLLRETURN", "1");
    EXPECT_EQ(t.params.varCount, kCount);
    EXPECT_EQ(t.Value(66000), "1");
    SetHostVariable(&t.params, "NEW", "0");
    EXPECT_EQ(t.params.varCount, kCount + 1);
    EXPECT_EQ(t.Name(kCount), "%NEW%");
}

TEST(ShowMessage, ShowsATaskModalInformationBoxWithNoOwner) {
    HeadlessReset();
    ShowMessage("the text", "the caption");
    ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
    const HeadlessMessageBox& box = HeadlessMessageBoxes()[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, "the text");
    EXPECT_EQ(box.caption, "the caption");
    EXPECT_EQ(box.style, 0x2040u);
    EXPECT_EQ(box.style, MB_TASKMODAL | MB_ICONINFORMATION | MB_OK);
}

}  // namespace
