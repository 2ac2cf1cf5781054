// The registry and context rules, driven through the public operations. Each case runs in a
// process of its own (gtest_discover_tests), so module-wide state starts as loaded.
#include "cipher/cipher_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <vector>

#include "tests/support/all_zero.h"

namespace {

constexpr uint8_t kKey7[7] = {0x13, 0x34, 0x57, 0x79, 0x9B, 0xBC, 0xDF};

CipherContext PatternedContext() {
    CipherContext c;
    std::memset(&c, 0xA5, sizeof c);
    return c;
}

class Started : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(CipherStartup(), 0); }
    CipherContext ctx{};
};

TEST(CipherLoadedState, OnlyTheNullProviderIsThereAndNothingIsSelfTestedUntilStartup) {
    EXPECT_EQ(CipherCheckMode(0, 0), 0);
    EXPECT_EQ(CipherCheckMode(2, 2), kCipherNoProvider);
    CipherContext c{};
    EXPECT_EQ(CipherOpen(&c, 2, 2), kCipherNoProviderInMode);
    EXPECT_TRUE(AllZero(&c, sizeof c));

    // The null provider is found but untested: -2, and the context keeps only its provider.
    c = PatternedContext();
    EXPECT_EQ(CipherOpen(&c, 0, 0), kCipherNotSelfTested);
    ASSERT_NE(c.provider, nullptr);
    EXPECT_STREQ(c.provider->name, "None");
    EXPECT_TRUE(
        AllZero(reinterpret_cast<uint8_t*>(&c) + sizeof c.provider, sizeof c - sizeof c.provider));
    // Its provider is still described although the open stopped.
    CipherInfo info;
    EXPECT_EQ(CipherContextInfo(&c, &info), 0);
    EXPECT_STREQ(info.name, "None");

    ASSERT_EQ(CipherStartup(), 0);
    EXPECT_EQ(CipherCheckMode(2, 2), 0);
    EXPECT_EQ(CipherOpen(&c, 0, 0), 0);
    EXPECT_EQ(CipherClose(&c), 0);
    EXPECT_EQ(CipherOpen(&c, 2, 2), 0);
    EXPECT_EQ(CipherClose(&c), 0);
}

TEST_F(Started, LookupsAnswerTheDocumentedCodes) {
    struct Case {
        int32_t algorithm, mode, checkMode, getInfo, open;
    };
    // The -22/-23 pair is swapped between the lookups and CipherOpen.
    const Case cases[] = {
        {2, 2, 0, 0, 0},
        {2, 0, 0, 0, 0},
        {0, 0, 0, 0, 0},
        {2, 3, -23, -23, -22},
        {2, 5, -23, -23, -22},
        {0, 1, -23, -23, -22},  // the null provider is registered for mode 0
                                // only
        {1, 4, -22, -22, -23},
        {3, 1, -22, -22, -23},
        {5, 7, -22, -22, -23},
        {6, 0, -4, -4, -5},
        {-1, 0, -4, -4, -5},
        {0, 8, -5, -5, -6},
        {0, -1, -5, -5, -6},
        {6, 9, -4, -4, -5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "algorithm " << c.algorithm << " mode " << c.mode);
        EXPECT_EQ(CipherCheckMode(c.algorithm, c.mode), c.checkMode);
        CipherInfo info;
        EXPECT_EQ(CipherGetInfo(c.algorithm, c.mode, &info), c.getInfo);
        CipherContext context = PatternedContext();
        const CipherContext before = context;
        EXPECT_EQ(CipherOpen(&context, c.algorithm, c.mode), c.open);
        if (c.open == -5 || c.open == -6) {
            EXPECT_EQ(std::memcmp(&context, &before, sizeof context), 0) << "range test changed it";
        } else if (c.open < 0) {
            EXPECT_TRUE(AllZero(&context, sizeof context));
        } else {
            EXPECT_EQ(CipherClose(&context), 0);
        }
        int32_t parameter = 0;
        context = PatternedContext();
        EXPECT_EQ(CipherOpenWithParam(&context, c.algorithm, c.mode, &parameter), c.open);
        if (c.open == 0) {
            EXPECT_EQ(CipherClose(&context), 0);
        }
    }
    EXPECT_EQ(CipherCheckAlgorithm(2), 0);
    EXPECT_EQ(CipherCheckAlgorithm(1), -22);
    EXPECT_EQ(CipherCheckAlgorithm(6), -4);
}

TEST_F(Started, GetInfoFillsFromTheProviderOrWithTheNotFoundValues) {
    CipherInfo info;
    ASSERT_EQ(CipherGetInfo(2, 0, &info), 0);
    EXPECT_EQ(info.algorithmId, 2);
    EXPECT_EQ(info.modeId, 0) << "the mode as asked, not the provider's";
    EXPECT_STREQ(info.name, "DES-ECB");
    const int32_t desValues[] = {8, 5, 7, 7, 0, 0, 0, -1};
    const int32_t* fields[] = {&info.blockSize,    &info.minKeyLength, &info.defaultKeyLength,
                               &info.maxKeyLength, &info.minIvLength,  &info.defaultIvLength,
                               &info.maxIvLength,  &info.speedFactor};
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(*fields[i], desValues[i]) << "field " << i;
    }
    for (const auto& [algorithm, mode, code] : {std::tuple{3, 1, -22}, std::tuple{2, 5, -23}}) {
        std::memset(&info, 0x5A, sizeof info);
        EXPECT_EQ(CipherGetInfo(algorithm, mode, &info), code);
        EXPECT_EQ(info.algorithmId, 0);
        EXPECT_EQ(info.modeId, 0);
        ASSERT_NE(info.name, nullptr);
        EXPECT_STREQ(info.name, "");
        for (const int32_t* f : fields) {
            EXPECT_EQ(*f, -1);
        }
    }
    EXPECT_EQ(CipherGetInfo(2, 2, nullptr), -6);

    ASSERT_EQ(CipherOpen(&ctx, 2, 2), 0);
    EXPECT_EQ(CipherContextInfo(&ctx, nullptr), -6) << "reported at its CipherGetInfo position";
    ASSERT_EQ(CipherContextInfo(&ctx, &info), 0);
    EXPECT_EQ(info.modeId, 2);
    EXPECT_EQ(CipherContextInfo(nullptr, &info), -4);
    EXPECT_EQ(CipherClose(&ctx), 0);
    EXPECT_EQ(CipherContextInfo(&ctx, &info), -20);
}

TEST_F(Started, AbsentArgumentsAnswerTheirPositionAndChangeNothing) {
    ASSERT_EQ(CipherOpen(&ctx, 2, 2), 0);
    const CipherContext before = ctx;
    uint8_t buffer[8] = {};
    int32_t parameter = 0;
    struct Case {
        const char* call;
        int32_t got, expected;
    };
    const Case cases[] = {
        {"Open", CipherOpen(nullptr, 9, 9), -4},
        {"OpenWithParam", CipherOpenWithParam(nullptr, 2, 2, &parameter), -4},
        {"OpenWithParam param", CipherOpenWithParam(&ctx, 2, 2, nullptr), -7},
        {"Close", CipherClose(nullptr), -4},
        {"SetKey", CipherSetKey(nullptr, kKey7, 7), -4},
        {"SetKey key", CipherSetKey(&ctx, nullptr, 7), -5},
        {"SetIv", CipherSetIv(nullptr, buffer, 0), -4},
        {"GetIv", CipherGetIv(nullptr, buffer), -4},
        {"GetIv output", CipherGetIv(&ctx, nullptr), -5},
        {"Encrypt", CipherEncrypt(nullptr, buffer, 8), -4},
        {"Encrypt data", CipherEncrypt(&ctx, nullptr, 8), -5},
        {"Encrypt length", CipherEncrypt(&ctx, buffer, -8), -6},
        {"Decrypt", CipherDecrypt(nullptr, buffer, 8), -4},
        {"Decrypt data", CipherDecrypt(&ctx, nullptr, 8), -5},
        {"Decrypt length", CipherDecrypt(&ctx, buffer, -1), -6},
        {"ContextInfo", CipherContextInfo(nullptr, nullptr), -4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.expected) << c.call;
    }
    EXPECT_EQ(std::memcmp(&ctx, &before, sizeof ctx), 0);
    EXPECT_EQ(CipherClose(&ctx), 0);
}

TEST_F(Started, AClosedContextAnswersNoKeyBeforeNotOpen) {
    uint8_t data[8] = {};
    EXPECT_EQ(CipherEncrypt(&ctx, data, -1), -6) << "length is tested before the state";
    EXPECT_EQ(CipherEncrypt(&ctx, data, 8), -24);
    EXPECT_EQ(CipherDecrypt(&ctx, data, 8), -24);
    EXPECT_EQ(CipherSetKey(&ctx, kKey7, 7), -20);
    EXPECT_EQ(CipherSetIv(&ctx, data, 0), -20);
    EXPECT_EQ(CipherGetIv(&ctx, data), -20);
    EXPECT_EQ(CipherClose(&ctx), -20);

    ASSERT_EQ(CipherOpen(&ctx, 2, 2), 0);
    ASSERT_EQ(CipherSetKey(&ctx, kKey7, 7), 0);
    ASSERT_EQ(CipherClose(&ctx), 0);
    EXPECT_TRUE(AllZero(&ctx, sizeof ctx)) << "closing zeroes the whole context";
    EXPECT_EQ(CipherClose(&ctx), -20) << "second close";
    EXPECT_EQ(CipherEncrypt(&ctx, data, 8), -24);
}

TEST_F(Started, OpeningSetsTheMarkerAndDefaultIvLength) {
    ctx = PatternedContext();
    ASSERT_EQ(CipherOpen(&ctx, 2, 2), 0);
    EXPECT_EQ(ctx.marker, kCipherContextMarker);
    EXPECT_EQ(ctx.keySet, 0);
    EXPECT_EQ(ctx.ivSet, 0);
    EXPECT_EQ(ctx.ivLength, 0);
    EXPECT_EQ(ctx.stateSize, 128);
    EXPECT_NE(ctx.state, nullptr);
    EXPECT_TRUE(AllZero(ctx.key, sizeof ctx.key)) << "the old content was zeroed first";
    EXPECT_TRUE(AllZero(ctx.savedIv, sizeof ctx.savedIv));
    uint8_t iv[8];
    EXPECT_EQ(CipherGetIv(&ctx, iv), -25) << "no IV before one is given";
    EXPECT_EQ(CipherClose(&ctx), 0);
}

TEST_F(Started, KeyLengthsAndTheKeyBufferTail) {
    ASSERT_EQ(CipherOpen(&ctx, 2, 2), 0);
    const uint8_t longKey[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (int32_t bad : {0, 4, 8, 512, -1}) {
        EXPECT_EQ(CipherSetKey(&ctx, longKey, bad), -6) << bad;
    }
    EXPECT_EQ(ctx.keySet, 0);
    EXPECT_TRUE(AllZero(ctx.key, sizeof ctx.key)) << "a refused key is not stored";
    ASSERT_EQ(CipherSetKey(&ctx, kKey7, 7), 0);
    EXPECT_EQ(ctx.keySet, 1);
    const uint8_t shortKey[5] = {0xF0, 0xF1, 0xF2, 0xF3, 0xF4};
    ASSERT_EQ(CipherSetKey(&ctx, shortKey, 5), 0);
    EXPECT_EQ(ctx.keyLength, 5);
    const uint8_t expected[8] = {0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xBC, 0xDF, 0x00};
    EXPECT_EQ(std::memcmp(ctx.key, expected, 8), 0) << "bytes 6 and 7 kept from the 7-byte key";
    for (int32_t length : {5, 6, 7}) {
        EXPECT_EQ(CipherSetKey(&ctx, longKey, length), 0) << length;
    }
    EXPECT_EQ(ctx.key[7], 0) << "no key reaches the eighth byte";
    EXPECT_EQ(CipherClose(&ctx), 0);
}

TEST_F(Started, IvBookkeepingWithAnIvLengthOfZero) {
    ASSERT_EQ(CipherOpen(&ctx, 2, 2), 0);
    ASSERT_EQ(CipherSetKey(&ctx, kKey7, 7), 0);
    uint8_t data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8};
    uint8_t iv[4] = {0xEE, 0xEE, 0xEE, 0xEE};

    EXPECT_EQ(CipherSetIv(&ctx, iv, 1), -6) << "longer than the provider's IV";
    EXPECT_EQ(CipherSetIv(&ctx, nullptr, 0), 0);
    EXPECT_EQ(ctx.ivSet, 0) << "an absent IV only sets the length";
    EXPECT_EQ(CipherDecrypt(&ctx, data, 16), -25);
    EXPECT_EQ(CipherSetIv(&ctx, iv, 0), 0);
    EXPECT_EQ(ctx.ivSet, 1);
    EXPECT_EQ(CipherDecrypt(&ctx, data, 16), 0);

    // A new key clears the IV; the first encryption gives an empty one.
    ASSERT_EQ(CipherSetKey(&ctx, kKey7, 7), 0);
    EXPECT_EQ(ctx.ivSet, 0);
    EXPECT_EQ(CipherGetIv(&ctx, iv), -25);
    EXPECT_EQ(CipherEncrypt(&ctx, data, 16), 0);
    EXPECT_EQ(ctx.ivSet, 1);
    EXPECT_EQ(CipherGetIv(&ctx, iv), 0);
    EXPECT_EQ(iv[0], 0xEE) << "an empty IV copies nothing";
    ASSERT_EQ(CipherSetKey(&ctx, kKey7, 5), 0);
    EXPECT_EQ(ctx.ivSet, 0);
    EXPECT_EQ(CipherClose(&ctx), 0);
}

TEST_F(Started, NullProviderTakesOnlyAnEmptyKeyAndLeavesDataAlone) {
    ASSERT_EQ(CipherOpen(&ctx, 0, 0), 0);
    const uint8_t key[1] = {7};
    EXPECT_EQ(CipherSetKey(&ctx, key, 1), -6);
    ASSERT_EQ(CipherSetKey(&ctx, key, 0), 0);
    uint8_t data[5] = {1, 2, 3, 4, 5};
    const std::vector<uint8_t> original(data, data + 5);
    EXPECT_EQ(CipherEncrypt(&ctx, data, 5), 0);
    EXPECT_EQ(std::vector<uint8_t>(data, data + 5), original);
    ASSERT_EQ(CipherSetKey(&ctx, key, 0), 0);
    EXPECT_EQ(CipherDecrypt(&ctx, data, 5), -25);
    ASSERT_EQ(CipherSetIv(&ctx, key, 0), 0);
    EXPECT_EQ(CipherDecrypt(&ctx, data, 5), 0);
    EXPECT_EQ(std::vector<uint8_t>(data, data + 5), original);
    EXPECT_EQ(CipherClose(&ctx), 0);
}

TEST_F(Started, RepeatedStartupAndShutdownKeepTheRegistry) {
    ASSERT_EQ(CipherShutdown(), 0);
    ASSERT_EQ(CipherStartup(), 0);
    ASSERT_EQ(CipherStartup(), 0);
    EXPECT_EQ(CipherCheckMode(2, 2), 0);
    const CipherProvider* des = CipherFindProvider(2, 2);
    ASSERT_NE(des, nullptr);
    EXPECT_EQ(des->selfTestStatus, 0);
    EXPECT_EQ(des->next, nullptr) << "the end mark is never linked in";
    EXPECT_EQ(CipherFindProvider(0, 0)->next, des);
    EXPECT_EQ(CipherOpen(&ctx, 2, 2), 0);
    EXPECT_EQ(CipherClose(&ctx), 0);
}

TEST(CipherRandomPool, HandsOutTheSeedTimeThenZerosEveryTime) {
    const uint32_t before = static_cast<uint32_t>(std::time(nullptr));
    uint8_t first[64], second[64];
    std::memset(first, 0xCC, sizeof first);
    CipherFillRandom(first, 64);
    const uint32_t after = static_cast<uint32_t>(std::time(nullptr));
    const uint32_t seed = uint32_t{first[0]} | uint32_t{first[1]} << 8 | uint32_t{first[2]} << 16 |
                          uint32_t{first[3]} << 24;
    EXPECT_GE(seed, before);
    EXPECT_LE(seed, after);
    EXPECT_TRUE(AllZero(first + 4, 60)) << "whitening finds no provider and changes nothing";
    std::memset(second, 0xCC, sizeof second);
    CipherFillRandom(second, 64);
    EXPECT_EQ(std::memcmp(first, second, 64), 0);
    uint8_t three[4] = {9, 9, 9, 9};
    CipherFillRandom(three, 3);
    EXPECT_EQ(three[3], 9) << "only length bytes are written";
}

// A provider of our own, reached by a context forged open, shows the dispatch rules for
// provider operations that fail or are missing.
int32_t setKeyResult = 0;
int32_t setIvResult = 0;
int32_t releaseResult = 0;
int32_t ScriptedSetKey(CipherContext*) {
    return setKeyResult;
}
int32_t ScriptedSetIv(CipherContext*) {
    return setIvResult;
}
int32_t ScriptedRelease(CipherContext*) {
    return releaseResult;
}
int32_t ScriptedData(CipherContext*, uint8_t*, int32_t length) {
    return 1000 + length;
}

CipherProvider ScriptedProvider(bool withOperations) {
    CipherProvider p{};
    p.algorithmId = 4;
    p.modeId = 1;
    p.name = "scripted";
    p.maxKeyLength = 16;
    p.maxIvLength = 8;
    if (withOperations) {
        p.setKey = ScriptedSetKey;
        p.setIv = ScriptedSetIv;
        p.release = ScriptedRelease;
        p.encrypt = ScriptedData;
        p.decrypt = ScriptedData;
    }
    return p;
}

CipherContext ForgedOpen(CipherProvider* provider) {
    CipherContext c{};
    c.provider = provider;
    c.marker = kCipherContextMarker;
    return c;
}

TEST(CipherDispatch, ProviderResultsPassThroughAndFailuresLeaveTheStatedState) {
    CipherProvider provider = ScriptedProvider(true);
    CipherContext c = ForgedOpen(&provider);
    const uint8_t key[3] = {1, 2, 3};
    uint8_t data[8] = {};

    setKeyResult = 0;
    ASSERT_EQ(CipherSetKey(&c, key, 3), 0);
    c.ivSet = 1;
    for (int32_t failing : {5, -9}) {
        setKeyResult = failing;
        EXPECT_EQ(CipherSetKey(&c, key, 2), failing) << "any non-zero result passes on";
        EXPECT_EQ(c.keySet, 1) << "keeps its earlier value";
        EXPECT_EQ(c.ivSet, 0);
        EXPECT_EQ(c.keyLength, 2) << "the new key bytes stay";
    }

    setIvResult = -11;
    const uint8_t iv[4] = {4, 3, 2, 1};
    c.ivPosition = 9;
    EXPECT_EQ(CipherSetIv(&c, iv, 4), -11);
    EXPECT_EQ(c.ivLength, 4);
    EXPECT_EQ(c.ivPosition, 0);
    EXPECT_EQ(c.ivSet, 1);
    EXPECT_EQ(std::memcmp(c.savedIv, iv, 4), 0);
    setIvResult = 3;
    EXPECT_EQ(CipherSetIv(&c, iv, 4), 0) << "positive setIv results count as success";

    EXPECT_EQ(CipherEncrypt(&c, data, 8), 1008);
    EXPECT_EQ(CipherDecrypt(&c, data, 3), 1003);

    releaseResult = -3;
    const CipherContext before = c;
    EXPECT_EQ(CipherClose(&c), -3);
    EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0) << "stays open and unchanged";
    releaseResult = 0;
    EXPECT_EQ(CipherClose(&c), 0);
    EXPECT_TRUE(AllZero(&c, sizeof c));
}

TEST(CipherDispatch, MissingOperationsAnswerNotAvailable) {
    CipherProvider provider = ScriptedProvider(false);
    CipherContext c = ForgedOpen(&provider);
    const uint8_t key[3] = {1, 2, 3};
    uint8_t data[8] = {};
    EXPECT_EQ(CipherSetKey(&c, key, 3), -22);
    c.keySet = 1;
    c.ivSet = 1;
    EXPECT_EQ(CipherEncrypt(&c, data, 8), -22);
    EXPECT_EQ(CipherDecrypt(&c, data, 8), -22);
    EXPECT_EQ(CipherSetIv(&c, key, 2), 0) << "setIv is optional";
    EXPECT_EQ(CipherClose(&c), 0) << "release is optional";
}

TEST(CipherDispatch, AnIvThatCannotBeGivenFailsTheEncryption) {
    CipherProvider provider = ScriptedProvider(true);
    provider.minIvLength = 4;  // the default length 0 is outside the provider's own range
    CipherContext c = ForgedOpen(&provider);
    c.keySet = 1;
    uint8_t data[8] = {};
    EXPECT_EQ(CipherEncrypt(&c, data, 8), -1);
    EXPECT_EQ(c.ivSet, 0);
}

}  // namespace
