// CryptBuffer and DecryptWithNumberKey over the real DES binding.
#include "cipher/crypt_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "headless/headless_control.h"

namespace {

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    return v;
}

const uint8_t kKey[7] = {'0', '0', '1', '9', '9', '4', '7'};

bool ContextsClosed() {
    static const CipherContext zero{};
    return std::memcmp(&encryptingContext, &zero, sizeof zero) == 0 &&
           std::memcmp(&decryptingContext, &zero, sizeof zero) == 0;
}

class CryptBufferTest : public ::testing::Test {
  protected:
    void SetUp() override { HeadlessReset(); }
};

TEST_F(CryptBufferTest, RoundTripsUnderEveryKeyLengthAndSize) {
    for (int16_t keyLength : {int16_t{5}, int16_t{6}, int16_t{7}}) {
        for (size_t size : {size_t{8}, size_t{16}, size_t{4096}, size_t{32760}}) {
            SCOPED_TRACE(::testing::Message() << "key " << keyLength << " size " << size);
            auto data = Pattern(size);
            const auto original = data;
            const auto n = static_cast<int16_t>(size);
            ASSERT_EQ(CryptBuffer(1, data.data(), n, kKey, keyLength), 0);
            EXPECT_NE(data, original);
            EXPECT_TRUE(ContextsClosed());
            ASSERT_EQ(CryptBuffer(0, data.data(), n, kKey, keyLength), 0);
            EXPECT_EQ(data, original);
            EXPECT_TRUE(ContextsClosed());
        }
    }
}

TEST_F(CryptBufferTest, EncryptsEachBlockWithDesUnderTheZeroExtendedKey) {
    // Published answer: key 8001010101010101 (parity bits aside, 80 followed by zeros)
    // encrypts the zero block to 95A8D72813DAA94D. Equal blocks stay equal.
    const uint8_t key[5] = {0x80, 0, 0, 0, 0};
    std::vector<uint8_t> data(24, 0);
    ASSERT_EQ(CryptBuffer(1, data.data(), 24, key, 5), 0);
    const std::array<uint8_t, 8> expected = {0x95, 0xA8, 0xD7, 0x28, 0x13, 0xDA, 0xA9, 0x4D};
    for (size_t block = 0; block < 3; ++block) {
        EXPECT_EQ(std::memcmp(data.data() + block * 8, expected.data(), 8), 0) << block;
    }
}

TEST_F(CryptBufferTest, RefusalsLeaveTheBufferUntouchedAndTheContextsClosed) {
    struct Case {
        const char* what;
        int16_t length;
        int16_t keyLength;
    };
    const Case cases[] = {
        {"key of 4 bytes", 16, 4}, {"key of 8 bytes", 16, 8}, {"key of 0 bytes", 16, 0},
        {"length 12", 12, 7},      {"length 7", 7, 7},        {"length 1", 1, 7},
        {"length 0", 0, 7},        {"length -12", -12, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (uint8_t encrypt : {0, 1}) {
            auto data = Pattern(32);  // longer than any length asked, to see stray writes
            const auto original = data;
            EXPECT_EQ(CryptBuffer(encrypt, data.data(), c.length, kKey, c.keyLength), 1);
            EXPECT_EQ(data, original);
            EXPECT_TRUE(ContextsClosed());
        }
    }
    auto data = Pattern(16);
    EXPECT_EQ(CryptBuffer(1, data.data(), 16, kKey, 7), 0) << "a later call works normally";
}

TEST_F(CryptBufferTest, The16BitPatternOf32768ChangesOnlyTheFirstBlock) {
    for (uint8_t encrypt : {0, 1}) {
        auto data = Pattern(32768);
        const auto original = data;
        auto firstBlock = std::vector<uint8_t>(original.begin(), original.begin() + 8);
        ASSERT_EQ(CryptBuffer(encrypt, firstBlock.data(), 8, kKey, 7), 0);
        EXPECT_EQ(CryptBuffer(encrypt, data.data(), static_cast<int16_t>(-32768), kKey, 7), 1);
        EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 8), firstBlock);
        EXPECT_TRUE(std::equal(data.begin() + 8, data.end(), original.begin() + 8));
        EXPECT_TRUE(ContextsClosed());
    }
}

TEST_F(CryptBufferTest, NumberKeyIsTheFirstSevenCharactersOfPercent07lu) {
    struct Case {
        uint32_t number;
        const char* text;
    };
    const Case cases[] = {
        {0, "0000000"},
        {42, "0000042"},
        {1234567, "1234567"},
        {12345678, "12345678"},
        {4294967295u, "4294967295"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        auto data = Pattern(64);
        const auto original = data;
        ASSERT_EQ(CryptBuffer(1, data.data(), 64, reinterpret_cast<const uint8_t*>(c.text), 7), 0);
        EXPECT_EQ(DecryptWithNumberKey(data.data(), 64, c.number), 0);
        EXPECT_STREQ(numberKeyText, c.text);
        EXPECT_EQ(data, original);
    }
    // Numbers of eight or more digits that share their first seven decrypt alike.
    auto a = Pattern(32);
    auto b = a;
    ASSERT_EQ(DecryptWithNumberKey(a.data(), 32, 12345678), 0);
    ASSERT_EQ(DecryptWithNumberKey(b.data(), 32, 12345679), 0);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(HeadlessMessageBoxes().empty()) << "no message on success";
}

TEST_F(CryptBufferTest, DecryptWithNumberKeyReportsEveryFailureOnce) {
    for (int16_t length : {int16_t{12}, int16_t{0}, static_cast<int16_t>(-32768)}) {
        SCOPED_TRACE(length);
        HeadlessReset();
        std::vector<uint8_t> data(32768, 0x55);
        EXPECT_EQ(DecryptWithNumberKey(data.data(), length, 1994), 1);
        ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
        const HeadlessMessageBox& box = HeadlessMessageBoxes()[0];
        EXPECT_EQ(box.text, "License decryption failed.");
        EXPECT_EQ(box.caption, "Cryptography Failure");
        EXPECT_EQ(box.style, 0x2040u);
        EXPECT_EQ(box.owner, nullptr);
    }
}

}  // namespace
