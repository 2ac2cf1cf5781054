// What CryptBuffer leaves of its key: every DES key schedule it frees holds only zeros by then,
// none stays allocated, and its two module-wide contexts are all zero when it returns, whatever
// the outcome. Built twice: over a correct DES binding, and over one that fails the provider's
// self-test (LX_DES_WRONG_LAST_ANSWER=1), where no open gets far enough to allocate a schedule.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cipher/crypt_buffer.h"
#include "cipher/des_ecb_provider.h"
#include "headless/headless_control.h"
#include "tests/support/heap_probe.h"
#include "tests/support/all_zero.h"

namespace {

constexpr bool kSelfTestFails = LX_DES_WRONG_LAST_ANSWER != 0;

TEST(CryptBufferHeap, FreedKeySchedulesHoldOnlyZerosAndTheContextsAreCleared) {
    struct Case {
        const char* what;
        int16_t length;
        int16_t keyLength;
        int32_t result;    // with a DES binding that passes its self-test
        size_t schedules;  // key schedules allocated (and so freed) by the call
    };
    const Case cases[] = {
        {"success", 64, 7, 0, 2},
        {"key of 4 bytes: the first context opens, its key is refused", 64, 4, 1, 1},
        {"negative key length", 64, -7, 1, 1},
        {"length 12", 12, 7, 1, 2},
        {"length 0", 0, 7, 1, 2},
        {"length -16", -16, 7, 1, 2},
        {"length -32768: the first block is done, the rest refused", -32768, 7, 1, 2},
    };
    HeadlessReset();
    const uint8_t key[7] = {0x31, 0x39, 0x39, 0x34, 0x30, 0x37, 0x31};
    for (const Case& c : cases) {
        for (uint8_t encrypt : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << c.what << (encrypt ? ", encrypting" : ""));
            std::vector<uint8_t> data(32768, 0x6B);  // room for what -32768 touches
            HeapProbeStart();
            EXPECT_EQ(CryptBuffer(encrypt, data.data(), c.length, key, c.keyLength),
                      kSelfTestFails ? 1 : c.result);
            const std::vector<FreedBlock>& freed = HeapProbeFreed();
            EXPECT_EQ(freed.size(), kSelfTestFails ? 0 : c.schedules);
            for (const FreedBlock& block : freed) {
                EXPECT_EQ(block.contents.size(), static_cast<size_t>(kDesEcbScheduleSize));
                EXPECT_TRUE(AllZero(block.contents.data(), block.contents.size()))
                    << "a key schedule was freed with key material in it";
            }
            EXPECT_EQ(HeapProbeLive(), 0u) << "a key schedule stayed allocated";
            EXPECT_TRUE(AllZero(&encryptingContext, sizeof encryptingContext));
            EXPECT_TRUE(AllZero(&decryptingContext, sizeof decryptingContext));
        }
    }
}

}  // namespace
