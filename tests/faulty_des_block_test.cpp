// The service over a DES block function that gets the last of the 291 known answers wrong.
#include <gtest/gtest.h>

#include "cipher/des_ecb_provider.h"
#include "tests/support/counting_des_block.h"

namespace {

TEST(FaultyDes, SelfTestFailsOnceAndDesEcbIsRefusedForTheRestOfTheProcess) {
    ASSERT_EQ(CipherStartup(), 0) << "start-up succeeds whatever the self-tests say";
    EXPECT_EQ(countedDesBlockCalls, 291) << "every entry ran, the last one failed";
    const CipherProvider* des = CipherFindProvider(2, 2);
    ASSERT_NE(des, nullptr);
    EXPECT_EQ(des->selfTestStatus, -2);

    // Still reported available and described, but never opened.
    EXPECT_EQ(CipherCheckMode(2, 2), 0);
    CipherInfo info;
    EXPECT_EQ(CipherGetInfo(2, 2, &info), 0);
    EXPECT_STREQ(info.name, "DES-ECB");
    CipherContext ctx{};
    EXPECT_EQ(CipherOpen(&ctx, 2, 2), -2);
    EXPECT_EQ(ctx.provider, des);
    EXPECT_EQ(ctx.marker, 0u);
    EXPECT_EQ(ctx.state, nullptr) << "init is not called";
    EXPECT_EQ(CipherOpen(&ctx, 2, 0), -2);

    // No later start-up runs the self-test again, also after a shutdown.
    ASSERT_EQ(CipherShutdown(), 0);
    ASSERT_EQ(CipherStartup(), 0);
    ASSERT_EQ(CipherStartup(), 0);
    EXPECT_EQ(countedDesBlockCalls, 291);
    EXPECT_EQ(CipherOpen(&ctx, 2, 2), -2);
    EXPECT_EQ(CipherOpen(&ctx, 0, 0), 0) << "other algorithms are unaffected";
    EXPECT_EQ(CipherClose(&ctx), 0);
}

}  // namespace
