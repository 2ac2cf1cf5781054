// DES-ECB through the cipher service, with expected values taken from the published
// known-answer tables rather than from the code under test.
#include "cipher/des_ecb_provider.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "cipher/des_known_answers.h"

namespace {

using Block = std::array<uint8_t, 8>;

const DesKnownAnswerTable& VariableKeyTable() {
    return kDesKnownAnswerTables[2];
}

class DesEcb : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(CipherStartup(), 0);
        ASSERT_EQ(CipherOpen(&ctx, kDesEcbAlgorithmId, kDesEcbModeId), 0);
    }
    void TearDown() override { EXPECT_EQ(CipherClose(&ctx), 0); }

    // A fresh key on a context that was keyed once after opening: the tail is zero.
    void Rekey(const uint8_t* key, int32_t length) {
        ASSERT_EQ(CipherClose(&ctx), 0);
        ASSERT_EQ(CipherOpen(&ctx, kDesEcbAlgorithmId, kDesEcbModeId), 0);
        ASSERT_EQ(CipherSetKey(&ctx, key, length), 0);
    }
    Block Encrypt(Block block) {
        EXPECT_EQ(CipherEncrypt(&ctx, block.data(), 8), 0);
        return block;
    }
    CipherContext ctx{};
};

// A key of 5 to 7 bytes is extended with zero bytes, and the parity bit of each byte has no
// effect: so a short key with one key bit set must give the published result for the
// 8-byte key with that bit set (whose other bytes are 0x01, parity only).
TEST_F(DesEcb, ShortKeysAreExtendedWithZeroBytes) {
    const DesKnownAnswerTable& table = VariableKeyTable();
    int checked = 0;
    for (size_t i = 0; i < table.count; ++i) {
        const DesKnownAnswer& entry = table.entries[i];
        uint8_t shortKey[7];
        int32_t lastSetByte = -1;
        for (int b = 0; b < 8; ++b) {
            if ((entry.key[b] & 0xFE) != 0) {
                lastSetByte = b;
            }
        }
        if (lastSetByte == 7) {
            continue;  // needs the eighth byte, which no key reaches
        }
        for (int b = 0; b < 7; ++b) {
            shortKey[b] = entry.key[b] & 0xFE;
        }
        for (int32_t length = 5; length <= 7; ++length) {
            if (lastSetByte >= length) {
                continue;
            }
            SCOPED_TRACE(::testing::Message() << "entry " << i << " key length " << length);
            Rekey(shortKey, length);
            Block input;
            std::memcpy(input.data(), entry.input, 8);
            Block expected;
            std::memcpy(expected.data(), entry.expected, 8);
            EXPECT_EQ(Encrypt(input), expected);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 5 * 7 * 3 + 7 * 2 + 7) << "every key bit of the first seven bytes";
}

TEST_F(DesEcb, ParityBitsWeakAndSemiWeakKeysAreAllAccepted) {
    const uint8_t key[7] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC};
    uint8_t flipped[7];
    for (int b = 0; b < 7; ++b) {
        flipped[b] = key[b] ^ 0x01;
    }
    const Block plain = {0x4E, 0x6F, 0x77, 0x20, 0x69, 0x73, 0x20, 0x74};
    Rekey(key, 7);
    const Block reference = Encrypt(plain);
    Rekey(flipped, 7);
    EXPECT_EQ(Encrypt(plain), reference) << "the lowest bit of a key byte is parity only";

    // Weak key 01..01 (the zero eighth byte has the same key bits as 0x01): encryption is
    // its own inverse. Semi-weak FE01FE01FE01FE01 and an even-parity key are accepted too.
    const uint8_t weak[7] = {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01};
    Rekey(weak, 7);
    EXPECT_EQ(Encrypt(Encrypt(plain)), plain);
    const uint8_t semiWeak[7] = {0xFE, 0x01, 0xFE, 0x01, 0xFE, 0x01, 0xFE};
    const uint8_t evenParity[7] = {0x00, 0x03, 0x05, 0x06, 0x09, 0x0A, 0x0C};
    for (const uint8_t* k : {semiWeak, evenParity}) {
        Rekey(k, 7);
        EXPECT_EQ(ctx.keySet, 1);
    }
}

TEST_F(DesEcb, BlocksAreIndependentAndLengthsMustBeWholeBlocks) {
    const uint8_t key[6] = {1, 2, 3, 4, 5, 6};
    Rekey(key, 6);
    uint8_t data[16] = {9, 8, 7, 6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    ASSERT_EQ(CipherEncrypt(&ctx, data, 16), 0);
    EXPECT_EQ(std::memcmp(data, data + 8, 8), 0) << "equal halves stay equal";
    EXPECT_NE(data[0], 9);

    std::vector<uint8_t> twelve = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const auto original = twelve;
    EXPECT_EQ(CipherEncrypt(&ctx, twelve.data(), 12), -6);
    EXPECT_EQ(CipherDecrypt(&ctx, twelve.data(), 12), -6);
    EXPECT_EQ(twelve, original) << "not even the first block changes";
    EXPECT_EQ(CipherEncrypt(&ctx, twelve.data(), 0), 0);
    EXPECT_EQ(twelve, original);
}

TEST_F(DesEcb, DecryptionUndoesEncryption) {
    const uint8_t key[7] = {'0', '0', '1', '2', '3', '4', '5'};
    Rekey(key, 7);
    std::vector<uint8_t> data(4096);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 131 + 7);
    }
    const auto original = data;
    ASSERT_EQ(CipherEncrypt(&ctx, data.data(), 4096), 0);
    EXPECT_NE(data, original);
    ASSERT_EQ(CipherSetIv(&ctx, key, 0), 0);
    ASSERT_EQ(CipherDecrypt(&ctx, data.data(), 4096), 0);
    EXPECT_EQ(data, original);
}

TEST(DesEcbInitRelease, InitRefusesAContextThatHoldsStateAndReleaseEmptiesIt) {
    CipherContext c{};
    int dummy = 0;
    c.state = &dummy;
    EXPECT_EQ(DesEcbInit(&c), -21);
    EXPECT_EQ(c.state, &dummy);
    c.state = nullptr;
    c.auxState = 1;
    EXPECT_EQ(DesEcbInit(&c), -21);
    EXPECT_EQ(c.state, nullptr) << "nothing allocated";
    c.auxState = 0;
    ASSERT_EQ(DesEcbInit(&c), 0);
    ASSERT_NE(c.state, nullptr);
    EXPECT_EQ(c.stateSize, 128);
    EXPECT_EQ(DesEcbRelease(&c), 0);
    EXPECT_EQ(c.state, nullptr);
    EXPECT_EQ(DesEcbRelease(&c), 0) << "an empty state stays empty";
}

// The self-test over block functions that get exactly one answer wrong (the n-th block call):
// the one loop covers all six tables in their order, and stops at the first wrong answer.
int wrongCall = 0;
int blockCalls = 0;

void WrongOnceCrypt(uint8_t block[8], const DesKeySchedule* schedule, bool encrypt) {
    kDesBlockOps.crypt(block, schedule, encrypt);
    if (++blockCalls == wrongCall) {
        block[7] ^= 0x01;
    }
}
const DesBlockOps kWrongOnce = {kDesBlockOps.setKey, WrongOnceCrypt};

TEST(DesEcbSelfTest, PassesWithLibcryptoAndFailsOnAnyOneWrongAnswer) {
    EXPECT_EQ(DesEcbSelfTest(), 0);
    int before = 0;
    for (const DesKnownAnswerTable& t : kDesKnownAnswerTables) {
        for (int pick : {0, static_cast<int>(t.count) - 1}) {
            SCOPED_TRACE(::testing::Message() << t.name << " entry " << pick);
            wrongCall = before + pick + 1;
            blockCalls = 0;
            EXPECT_EQ(DesEcbSelfTestUsing(kWrongOnce), -2);
            EXPECT_EQ(blockCalls, wrongCall) << "ends at once";
        }
        before += static_cast<int>(t.count);
    }
    EXPECT_EQ(before, 291);
    wrongCall = 0;
    blockCalls = 0;
    EXPECT_EQ(DesEcbSelfTestUsing(kWrongOnce), 0);
    EXPECT_EQ(blockCalls, 291);
}

}  // namespace
