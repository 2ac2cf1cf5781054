// What the service leaves in memory it frees, and how it answers when memory runs out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "cipher/des_ecb_provider.h"
#include "tests/support/all_zero.h"
#include "tests/support/heap_probe.h"

namespace {

bool AllZero(const std::vector<uint8_t>& bytes) {
    return ::AllZero(bytes.data(), bytes.size());
}

TEST(CipherHeap, TheKeyScheduleIsWipedBeforeItIsFreed) {
    ASSERT_EQ(CipherStartup(), 0);
    HeapProbeStart();
    CipherContext ctx{};
    ASSERT_EQ(CipherOpen(&ctx, 2, 2), 0);
    const void* schedule = ctx.state;
    const uint8_t key[7] = {0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A};
    ASSERT_EQ(CipherSetKey(&ctx, key, 7), 0);
    ASSERT_FALSE(AllZero(std::vector<uint8_t>(static_cast<uint8_t*>(ctx.state),
                                              static_cast<uint8_t*>(ctx.state) + 128)))
        << "a real schedule is in place";
    ASSERT_EQ(CipherClose(&ctx), 0);
    ASSERT_EQ(HeapProbeFreed().size(), 1u);
    EXPECT_EQ(HeapProbeFreed()[0].address, schedule);
    EXPECT_EQ(HeapProbeFreed()[0].contents.size(), 128u);
    EXPECT_TRUE(AllZero(HeapProbeFreed()[0].contents));
    EXPECT_EQ(HeapProbeLive(), 0u);
}

TEST(CipherHeap, NoMemoryForTheScheduleLeavesTheContextUnopened) {
    ASSERT_EQ(CipherStartup(), 0);
    HeapProbeStart();
    HeapProbeFailNext(1);
    CipherContext ctx{};
    EXPECT_EQ(CipherOpen(&ctx, 2, 2), -19);
    EXPECT_EQ(ctx.state, nullptr);
    EXPECT_EQ(ctx.marker, 0u);
    EXPECT_NE(ctx.provider, nullptr);
    EXPECT_EQ(CipherClose(&ctx), -20);
    EXPECT_EQ(CipherOpen(&ctx, 2, 2), 0) << "the next open works";
    EXPECT_EQ(CipherClose(&ctx), 0);
    EXPECT_EQ(HeapProbeLive(), 0u);
}

TEST(CipherHeap, ShutdownWipesAndFreesEveryDynamicRecord) {
    HeapProbeStart();
    CipherProvider*& list = CipherDynamicProviders();
    for (int i = 0; i < 3; ++i) {
        auto* record = static_cast<CipherProvider*>(std::malloc(sizeof(CipherProvider)));
        ASSERT_NE(record, nullptr);
        std::memset(record, 0x77, sizeof *record);
        record->next = list;
        list = record;
    }
    ASSERT_EQ(CipherShutdown(), 0);
    EXPECT_EQ(list, nullptr);
    ASSERT_EQ(HeapProbeFreed().size(), 3u);
    for (const FreedBlock& block : HeapProbeFreed()) {
        EXPECT_TRUE(AllZero(block.contents));
    }
    EXPECT_EQ(HeapProbeLive(), 0u);
    EXPECT_EQ(CipherShutdown(), 0) << "an empty list is fine";
}

TEST(CipherHeap, WipeFreeZeroesOnlyTheGivenLengthAndEmptiesTheOwner) {
    HeapProbeStart();
    void* owner = std::malloc(16);
    ASSERT_NE(owner, nullptr);
    std::memset(owner, 0xFF, 16);
    CipherWipeFree(&owner, 10);
    EXPECT_EQ(owner, nullptr);
    ASSERT_EQ(HeapProbeFreed().size(), 1u);
    const auto& c = HeapProbeFreed()[0].contents;
    EXPECT_TRUE(AllZero(std::vector<uint8_t>(c.begin(), c.begin() + 10)));
    EXPECT_EQ(c[10], 0xFF);
    CipherWipeFree(&owner, 10);  // an empty owner: nothing happens
    EXPECT_EQ(HeapProbeFreed().size(), 1u);
}

}  // namespace
