// CryptBuffer after a failed DES self-test: every call fails, untouched, and says so once.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cipher/crypt_buffer.h"
#include "headless/headless_control.h"
#include "tests/support/counting_des_block.h"

namespace {

TEST(CryptBufferAfterFailedSelfTest, EveryCallAnswersOneAndLeavesTheBufferAlone) {
    HeadlessReset();
    std::vector<uint8_t> data(64, 0x42);
    const auto original = data;
    const uint8_t key[7] = {1, 2, 3, 4, 5, 6, 7};
    for (uint8_t encrypt : {1, 0, 1}) {
        EXPECT_EQ(CryptBuffer(encrypt, data.data(), 64, key, 7), 1);
        EXPECT_EQ(data, original);
        const CipherContext zero{};
        EXPECT_EQ(std::memcmp(&encryptingContext, &zero, sizeof zero), 0)
            << "no provider link left behind by the refused open";
    }
    EXPECT_EQ(countedDesBlockCalls, 291) << "the self-test ran once, nothing else";
    EXPECT_EQ(DecryptWithNumberKey(data.data(), 64, 7), 1);
    ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
    EXPECT_EQ(HeadlessMessageBoxes()[0].text, "License decryption failed.");
}

}  // namespace
