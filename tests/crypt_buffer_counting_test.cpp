// CryptBuffer over a counting DES binding: the self-test runs during the first call only.
#include <gtest/gtest.h>

#include <vector>

#include "cipher/crypt_buffer.h"
#include "headless/headless_control.h"
#include "tests/support/counting_des_block.h"

namespace {

TEST(CryptBufferSelfTest, RunsOnceAcrossRepeatedCalls) {
    HeadlessReset();
    const uint8_t key[7] = {1, 2, 3, 4, 5, 6, 7};
    std::vector<uint8_t> data(800, 0x42);
    ASSERT_EQ(CryptBuffer(1, data.data(), 800, key, 7), 0);
    EXPECT_EQ(countedDesBlockCalls, 291 + 100) << "self-test, then the 100 blocks";
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(CryptBuffer(i % 2, data.data(), 800, key, 7), 0);
    }
    EXPECT_EQ(countedDesBlockCalls, 291 + 400);
}

}  // namespace
