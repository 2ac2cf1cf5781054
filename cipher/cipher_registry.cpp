#include "cipher/cipher_registry.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "cipher/des_ecb_provider.h"

namespace {

int32_t NullSelfTest() {
    return kCipherOk;
}
int32_t NullContextOp(CipherContext*) {
    return kCipherOk;
}
int32_t NullInitWithParam(CipherContext*, void*) {
    return kCipherOk;
}
int32_t NullDataOp(CipherContext*, uint8_t*, int32_t) {
    return kCipherOk;
}

constexpr CipherProvider kNullProviderRecord = {
    0,
    0,
    0,
    "None",
    1000,
    0,
    0,
    0,
    0,
    0,
    0,
    NullSelfTest,
    NullContextOp,
    NullInitWithParam,
    NullContextOp,
    NullContextOp,
    NullContextOp,
    NullDataOp,
    NullDataOp,
    kCipherSelfTestPending,
    nullptr,
};

constexpr CipherProvider kEndMarkRecord = {
    0,       0,       kCipherEndMarkBlockSize,
    "",      0,       0,
    0,       0,       0,
    0,       0,       nullptr,
    nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr,
    nullptr, 0,       nullptr,
};

// The built-in table. The end mark is never linked in; CipherStartup links the rest.
CipherProvider builtInProviders[] = {kNullProviderRecord, kDesEcbProviderRecord, kEndMarkRecord};

// The registry list starts at NullProvider from load time; until start-up it holds it alone.
CipherProvider* const registryHead = &builtInProviders[0];

CipherProvider* dynamicProviders = nullptr;

uint8_t randomPool[kCipherIvBufferSize];
uint8_t randomPoolSeeded = 0;

const char kEmptyName[] = "";

bool AlgorithmInRange(int32_t id) {
    return id >= 0 && id <= kCipherAlgorithmIdMax;
}
bool ModeInRange(int32_t id) {
    return id >= 0 && id <= kCipherModeIdMax;
}
bool IsOpen(const CipherContext* context) {
    return context->marker == kCipherContextMarker;
}

// The no-provider answer of the lookups; CipherOpen answers the swapped pair.
int32_t LookupMissCode(int32_t algorithmId) {
    return CipherFindProvider(algorithmId, 0) != nullptr ? kCipherNoProviderInMode
                                                         : kCipherNoProvider;
}

void FillInfoNotFound(CipherInfo* info) {
    info->algorithmId = 0;
    info->modeId = 0;
    info->name = kEmptyName;
    info->blockSize = -1;
    info->minKeyLength = -1;
    info->defaultKeyLength = -1;
    info->maxKeyLength = -1;
    info->minIvLength = -1;
    info->defaultIvLength = -1;
    info->maxIvLength = -1;
    info->speedFactor = -1;
}

void LinkBuiltInProviders() {
    // Record 0 is never tested for the end mark; the last real record's next stays empty.
    for (size_t i = 0; builtInProviders[i + 1].blockSize != kCipherEndMarkBlockSize; ++i) {
        builtInProviders[i].next = &builtInProviders[i + 1];
    }
}

void RunPendingSelfTests() {
    for (CipherProvider* provider = registryHead; provider != nullptr; provider = provider->next) {
        if (provider->selfTestStatus != kCipherSelfTestPending) {
            continue;
        }
        // A provider without a self-test cannot be trusted, so it is marked as failed.
        const int32_t result =
            provider->selfTest != nullptr ? provider->selfTest() : kCipherNotSelfTested;
        // Later providers of the same algorithm take this result instead of running their own.
        for (CipherProvider* same = provider; same != nullptr; same = same->next) {
            if (same->algorithmId == provider->algorithmId) {
                same->selfTestStatus = result;
            }
        }
    }
}

int32_t OpenCommon(CipherContext* context, int32_t algorithmId, int32_t modeId,
                   CipherProvider*& provider) {
    CipherSecureZero(context, sizeof *context);
    provider = CipherFindProvider(algorithmId, modeId);
    context->provider = provider;
    if (provider == nullptr) {
        // Swapped relative to CipherCheckMode and CipherGetInfo.
        return CipherCheckAlgorithm(algorithmId) == kCipherOk ? kCipherNoProvider
                                                              : kCipherNoProviderInMode;
    }
    if (provider->selfTestStatus != kCipherOk) {
        return kCipherNotSelfTested;
    }
    return kCipherOk;
}

void MarkOpen(CipherContext* context, const CipherProvider* provider) {
    context->ivLength = provider->defaultIvLength;
    context->marker = kCipherContextMarker;
}

// The tests CipherEncrypt and CipherDecrypt share, in their order: arguments, then the key
// before the marker (so a closed, all-zero context answers "no key"), then the operation.
int32_t CheckDataCall(const CipherContext* context, const uint8_t* data, int32_t length,
                      CipherDataOp CipherProvider::*operation) {
    if (context == nullptr) {
        return kCipherBadArgument1;
    }
    if (data == nullptr) {
        return kCipherBadArgument2;
    }
    if (length < 0) {
        return kCipherBadArgument3;
    }
    if (context->keySet == 0) {
        return kCipherNoKey;
    }
    if (!IsOpen(context) || context->provider == nullptr) {
        return kCipherNotOpen;
    }
    if (context->provider->*operation == nullptr) {
        return kCipherNoProvider;
    }
    return kCipherOk;
}

// The argument tests both opens share: context, algorithm, mode.
int32_t CheckOpenArguments(const CipherContext* context, int32_t algorithmId, int32_t modeId) {
    if (context == nullptr) {
        return kCipherBadArgument1;
    }
    if (!AlgorithmInRange(algorithmId)) {
        return kCipherBadArgument2;
    }
    if (!ModeInRange(modeId)) {
        return kCipherBadArgument3;
    }
    return kCipherOk;
}

}  // namespace

CipherProvider*& CipherDynamicProviders() {
    return dynamicProviders;
}

void CipherSecureZero(void* data, size_t length) {
    volatile uint8_t* bytes = static_cast<volatile uint8_t*>(data);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = 0;
    }
}

void CipherWipeFree(void** owner, int32_t length) {
    if (owner == nullptr || *owner == nullptr) {
        return;
    }
    if (length > 0) {
        CipherSecureZero(*owner, static_cast<size_t>(length));
    }
    std::free(*owner);
    *owner = nullptr;
}

CipherProvider* CipherFindProvider(int32_t algorithmId, int32_t modeId) {
    for (CipherProvider* provider = registryHead; provider != nullptr; provider = provider->next) {
        if (provider->algorithmId == algorithmId && (modeId == 0 || provider->modeId == modeId)) {
            return provider;
        }
    }
    return nullptr;
}

int32_t CipherCheckMode(int32_t algorithmId, int32_t modeId) {
    if (!AlgorithmInRange(algorithmId)) {
        return kCipherBadArgument1;
    }
    if (!ModeInRange(modeId)) {
        return kCipherBadArgument2;
    }
    if (CipherFindProvider(algorithmId, modeId) != nullptr) {
        return kCipherOk;
    }
    return LookupMissCode(algorithmId);
}

int32_t CipherCheckAlgorithm(int32_t algorithmId) {
    return CipherCheckMode(algorithmId, 0);
}

int32_t CipherGetInfo(int32_t algorithmId, int32_t modeId, CipherInfo* info) {
    if (!AlgorithmInRange(algorithmId)) {
        return kCipherBadArgument1;
    }
    if (!ModeInRange(modeId)) {
        return kCipherBadArgument2;
    }
    if (info == nullptr) {
        return kCipherBadArgument3;
    }
    std::memset(info, 0, sizeof *info);
    const CipherProvider* provider = CipherFindProvider(algorithmId, modeId);
    if (provider == nullptr) {
        FillInfoNotFound(info);
        return LookupMissCode(algorithmId);
    }
    info->algorithmId = algorithmId;
    info->modeId = modeId;  // as asked: 0 stays 0
    info->name = provider->name;
    info->blockSize = provider->blockSize;
    info->minKeyLength = provider->minKeyLength;
    info->defaultKeyLength = provider->defaultKeyLength;
    info->maxKeyLength = provider->maxKeyLength;
    info->minIvLength = provider->minIvLength;
    info->defaultIvLength = provider->defaultIvLength;
    info->maxIvLength = provider->maxIvLength;
    info->speedFactor = provider->speedFactor;
    return kCipherOk;
}

int32_t CipherContextInfo(const CipherContext* context, CipherInfo* info) {
    if (context == nullptr) {
        return kCipherBadArgument1;
    }
    if (context->provider == nullptr) {
        return kCipherNotOpen;
    }
    // The marker is not consulted: a context whose opening stopped after the lookup still
    // has its provider described.
    return CipherGetInfo(context->provider->algorithmId, context->provider->modeId, info);
}

int32_t CipherStartup() {
    LinkBuiltInProviders();
    RunPendingSelfTests();
    return kCipherOk;
}

int32_t CipherShutdown() {
    CipherProvider* record = dynamicProviders;
    dynamicProviders = nullptr;
    while (record != nullptr) {
        CipherProvider* const next = record->next;
        void* owned = record;
        CipherWipeFree(&owned, static_cast<int32_t>(sizeof *record));
        record = next;
    }
    return kCipherOk;
}

int32_t CipherOpen(CipherContext* context, int32_t algorithmId, int32_t modeId) {
    if (const int32_t status = CheckOpenArguments(context, algorithmId, modeId);
        status != kCipherOk) {
        return status;
    }
    CipherProvider* provider = nullptr;
    if (const int32_t status = OpenCommon(context, algorithmId, modeId, provider);
        status != kCipherOk) {
        return status;
    }
    if (provider->init != nullptr) {
        if (const int32_t status = provider->init(context); status < 0) {
            return status;
        }
    }
    MarkOpen(context, provider);
    return kCipherOk;
}

int32_t CipherOpenWithParam(CipherContext* context, int32_t algorithmId, int32_t modeId,
                            void* parameter) {
    if (const int32_t status = CheckOpenArguments(context, algorithmId, modeId);
        status != kCipherOk) {
        return status;
    }
    if (parameter == nullptr) {
        return kCipherBadArgument4;
    }
    CipherProvider* provider = nullptr;
    if (const int32_t status = OpenCommon(context, algorithmId, modeId, provider);
        status != kCipherOk) {
        return status;
    }
    if (provider->initWithParam != nullptr) {
        if (const int32_t status = provider->initWithParam(context, parameter); status < 0) {
            return status;
        }
    }
    MarkOpen(context, provider);
    return kCipherOk;
}

int32_t CipherClose(CipherContext* context) {
    if (context == nullptr) {
        return kCipherBadArgument1;
    }
    if (!IsOpen(context) || context->provider == nullptr) {
        return kCipherNotOpen;
    }
    if (context->provider->release != nullptr) {
        if (const int32_t status = context->provider->release(context); status < 0) {
            return status;
        }
    }
    CipherSecureZero(context, sizeof *context);
    return kCipherOk;
}

int32_t CipherSetKey(CipherContext* context, const uint8_t* key, int32_t length) {
    if (context == nullptr) {
        return kCipherBadArgument1;
    }
    if (key == nullptr) {
        return kCipherBadArgument2;
    }
    if (!IsOpen(context) || context->provider == nullptr) {
        return kCipherNotOpen;
    }
    const CipherProvider* provider = context->provider;
    // The buffer's own size bounds the copy too, whatever a provider record claims.
    if (length < provider->minKeyLength || length > provider->maxKeyLength ||
        length > kCipherKeyBufferSize) {
        return kCipherBadArgument3;
    }
    if (provider->setKey == nullptr) {
        return kCipherNoProvider;
    }
    // The rest of the buffer keeps what it held: zero after opening, or a longer key's tail.
    std::memcpy(context->key, key, static_cast<size_t>(length));
    context->keyLength = length;
    context->ivSet = 0;
    if (const int32_t status = provider->setKey(context); status != kCipherOk) {
        return status;
    }
    context->keySet = 1;
    return kCipherOk;
}

int32_t CipherSetIv(CipherContext* context, const uint8_t* iv, int32_t length) {
    if (context == nullptr) {
        return kCipherBadArgument1;
    }
    if (!IsOpen(context) || context->provider == nullptr) {
        return kCipherNotOpen;
    }
    const CipherProvider* provider = context->provider;
    if (length < provider->minIvLength || length > provider->maxIvLength ||
        length > kCipherIvBufferSize) {
        return kCipherBadArgument3;
    }
    context->ivLength = length;
    context->ivPosition = 0;
    // Without IV bytes only the length changes.
    if (iv != nullptr) {
        std::memset(context->iv, 0, sizeof context->iv);
        std::memcpy(context->iv, iv, static_cast<size_t>(length));
        std::memcpy(context->savedIv, context->iv, sizeof context->savedIv);
        context->ivSet = 1;
    }
    if (provider->setIv != nullptr) {
        if (const int32_t status = provider->setIv(context); status < 0) {
            return status;
        }
    }
    return kCipherOk;
}

int32_t CipherGetIv(const CipherContext* context, uint8_t* output) {
    if (context == nullptr) {
        return kCipherBadArgument1;
    }
    if (output == nullptr) {
        return kCipherBadArgument2;
    }
    if (!IsOpen(context)) {
        return kCipherNotOpen;
    }
    if (context->ivSet == 0) {
        return kCipherNoIv;
    }
    if (context->ivLength > 0 && context->ivLength <= kCipherIvBufferSize) {
        std::memcpy(output, context->iv, static_cast<size_t>(context->ivLength));
    }
    return kCipherOk;
}

int32_t CipherEncrypt(CipherContext* context, uint8_t* data, int32_t length) {
    if (const int32_t status = CheckDataCall(context, data, length, &CipherProvider::encrypt);
        status != kCipherOk) {
        return status;
    }
    if (context->ivSet == 0) {
        uint8_t freshIv[kCipherIvBufferSize] = {};
        if (context->ivLength < 0 || context->ivLength > kCipherIvBufferSize) {
            return kCipherFreshIvFailed;
        }
        CipherFillRandom(freshIv, context->ivLength);
        if (CipherSetIv(context, freshIv, context->ivLength) < 0) {
            return kCipherFreshIvFailed;
        }
    }
    return context->provider->encrypt(context, data, length);
}

int32_t CipherDecrypt(CipherContext* context, uint8_t* data, int32_t length) {
    if (const int32_t status = CheckDataCall(context, data, length, &CipherProvider::decrypt);
        status != kCipherOk) {
        return status;
    }
    // Decryption never makes an IV up; the caller gives one, even an empty one.
    if (context->ivSet == 0) {
        return kCipherNoIv;
    }
    return context->provider->decrypt(context, data, length);
}

void CipherFillRandom(uint8_t* output, int32_t length) {
    if (randomPoolSeeded == 0) {
        std::memset(randomPool, 0, sizeof randomPool);
        const uint32_t now = static_cast<uint32_t>(std::time(nullptr));
        randomPool[0] = static_cast<uint8_t>(now);
        randomPool[1] = static_cast<uint8_t>(now >> 8);
        randomPool[2] = static_cast<uint8_t>(now >> 16);
        randomPool[3] = static_cast<uint8_t>(now >> 24);
        randomPoolSeeded = 1;
    }
    // Whitening through algorithm 1, mode 4. The built-in registry has no such provider, so
    // every call below fails and the pool keeps its seed; the results are ignored on purpose.
    CipherContext whitening;
    std::memset(&whitening, 0, sizeof whitening);
    int32_t whiteningParameter = 2;
    (void)CipherOpenWithParam(&whitening, 1, 4, &whiteningParameter);
    (void)CipherSetKey(&whitening, randomPool, sizeof randomPool);
    whitening.ivSet = 1;  // so that the encryption does not ask this routine for an IV again
    (void)CipherEncrypt(&whitening, randomPool, sizeof randomPool);
    (void)CipherClose(&whitening);
    if (output != nullptr && length > 0) {
        const size_t count =
            static_cast<size_t>(length < kCipherIvBufferSize ? length : kCipherIvBufferSize);
        std::memcpy(output, randomPool, count);
    }
}
