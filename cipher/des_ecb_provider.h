// DES in electronic codebook mode: algorithm 2, mode 2, keys of 5 to 7 bytes extended with the
// zero bytes that follow them in the context's key buffer, no IV.
#pragma once

#include "cipher/cipher_registry.h"
#include "cipher/des_block.h"

inline constexpr int32_t kDesEcbAlgorithmId = 2;
inline constexpr int32_t kDesEcbModeId = 2;
inline constexpr int32_t kDesEcbBlockSize = 8;
inline constexpr int32_t kDesEcbScheduleSize = static_cast<int32_t>(sizeof(DesKeySchedule));

int32_t DesEcbSelfTest();
// The same known-answer run over any block function; answers 0 or kCipherNotSelfTested.
int32_t DesEcbSelfTestUsing(const DesBlockOps& block);
int32_t DesEcbInit(CipherContext* context);
int32_t DesEcbInitWithParam(CipherContext* context, void* parameter);
int32_t DesEcbRelease(CipherContext* context);
int32_t DesEcbSetKey(CipherContext* context);
int32_t DesEcbEncrypt(CipherContext* context, uint8_t* data, int32_t length);
int32_t DesEcbDecrypt(CipherContext* context, uint8_t* data, int32_t length);

// The record as it stands in the built-in provider table.
inline constexpr CipherProvider kDesEcbProviderRecord = {
    kDesEcbAlgorithmId,
    kDesEcbModeId,
    kDesEcbBlockSize,
    "DES-ECB",
    -1,  // no speed figure
    5,
    7,
    7,  // not 8: the eighth key byte stays zero
    0,
    0,
    0,
    DesEcbSelfTest,
    DesEcbInit,
    DesEcbInitWithParam,
    DesEcbRelease,
    DesEcbSetKey,
    nullptr,  // no IV to set
    DesEcbEncrypt,
    DesEcbDecrypt,
    kCipherSelfTestPending,
    nullptr,
};

static_assert(kDesEcbProviderRecord.maxKeyLength <= kCipherKeyBufferSize);
static_assert(kDesEcbProviderRecord.maxIvLength <= kCipherIvBufferSize);
static_assert(kDesEcbScheduleSize == 128);
