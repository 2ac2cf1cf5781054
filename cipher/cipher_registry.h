// The cipher service: a registry of block-cipher providers and the caller-owned contexts that
// run data through them. Providers are plain records of sizes, a name and operation pointers;
// the registry does every argument and state test before it dispatches, so a provider only
// tests what is its own.
#pragma once

#include <cstddef>
#include <cstdint>

// Every operation of the service answers one of these, or a provider operation's own result
// passed on unchanged (which is why results travel as int32_t rather than as this type).
enum CipherStatus : int32_t {
    kCipherOk = 0,
    kCipherFreshIvFailed = -1,  // CipherEncrypt could not give the context an IV
    kCipherNotSelfTested = -2,  // provider's self-test not run or failed
    kCipherBadArgument1 = -4,   // first argument unusable
    kCipherBadArgument2 = -5,   // second argument unusable
    kCipherBadArgument3 = -6,   // third argument unusable
    kCipherBadArgument4 = -7,   // fourth argument unusable
    kCipherNoMemory = -19,      // provider could not allocate its state
    kCipherNotOpen = -20,       // context not open (no marker, or no provider)
    kCipherStateInUse = -21,    // context already holds provider state
    kCipherNoProvider = -22,    // lookups: algorithm unknown. CipherOpen: known, not in this mode
    kCipherNoProviderInMode =
        -23,             // lookups: algorithm known, not in this mode. CipherOpen: unknown
    kCipherNoKey = -24,  // no key loaded
    kCipherNoIv = -25,   // no IV given
};

inline constexpr uint32_t kCipherContextMarker = 0xC0EDBABEu;
inline constexpr int32_t kCipherKeyBufferSize = 512;
inline constexpr int32_t kCipherIvBufferSize = 64;
inline constexpr int32_t kCipherAlgorithmIdMax = 5;
inline constexpr int32_t kCipherModeIdMax = 7;
inline constexpr int32_t kCipherEndMarkBlockSize = -1;
inline constexpr int32_t kCipherSelfTestPending = -1;

struct CipherContext;

using CipherSelfTestOp = int32_t (*)();
using CipherContextOp = int32_t (*)(CipherContext* context);
using CipherInitWithParamOp = int32_t (*)(CipherContext* context, void* parameter);
using CipherDataOp = int32_t (*)(CipherContext* context, uint8_t* data, int32_t length);

// One algorithm/mode implementation. The service writes only selfTestStatus and next.
struct CipherProvider {
    int32_t algorithmId;
    int32_t modeId;  // 0 = registered for "any mode": found only by a lookup for mode 0
    int32_t blockSize;
    const char* name;
    int32_t speedFactor;  // thousandths of a plain block copy; -1 = no figure
    int32_t minKeyLength;
    int32_t defaultKeyLength;
    int32_t maxKeyLength;  // never above kCipherKeyBufferSize
    int32_t minIvLength;
    int32_t defaultIvLength;
    int32_t maxIvLength;  // never above kCipherIvBufferSize
    CipherSelfTestOp selfTest;
    CipherContextOp init;
    CipherInitWithParamOp initWithParam;
    CipherContextOp release;
    CipherContextOp setKey;
    CipherContextOp setIv;
    CipherDataOp encrypt;
    CipherDataOp decrypt;
    int32_t selfTestStatus;
    CipherProvider* next;
};

// What CipherGetInfo reports. speedFactor comes last here, unlike in CipherProvider.
struct CipherInfo {
    int32_t algorithmId;
    int32_t modeId;
    const char* name;
    int32_t blockSize;
    int32_t minKeyLength;
    int32_t defaultKeyLength;
    int32_t maxKeyLength;
    int32_t minIvLength;
    int32_t defaultIvLength;
    int32_t maxIvLength;
    int32_t speedFactor;
};

// One use of a provider. The caller owns the record; opening and closing zero it whole.
struct CipherContext {
    CipherProvider* provider;
    uint8_t key[kCipherKeyBufferSize];
    uint8_t iv[kCipherIvBufferSize];
    int32_t keyLength;
    int32_t ivLength;
    uint8_t keySet;
    uint8_t ivSet;
    void* state;  // provider-owned, stateSize bytes, wiped before release
    uint8_t savedIv[kCipherIvBufferSize];
    int32_t stateSize;
    int32_t ivPosition;
    uint32_t auxState;
    uint32_t marker;
};

static_assert(sizeof(CipherContext::key) == 512, "key buffer bounds maxKeyLength");
static_assert(sizeof(CipherContext::iv) == 64, "iv buffer bounds maxIvLength and the pool");
static_assert(sizeof(CipherContext::savedIv) == sizeof(CipherContext::iv));
static_assert(sizeof(CipherInfo) == 10 * sizeof(int32_t) + sizeof(const char*),
              "CipherInfo holds ten integers and one text pointer, unpadded");

// Lookups. CipherFindProvider makes no range checks and ignores self-test results.
CipherProvider* CipherFindProvider(int32_t algorithmId, int32_t modeId);
int32_t CipherCheckMode(int32_t algorithmId, int32_t modeId);
int32_t CipherCheckAlgorithm(int32_t algorithmId);
int32_t CipherGetInfo(int32_t algorithmId, int32_t modeId, CipherInfo* info);
int32_t CipherContextInfo(const CipherContext* context, CipherInfo* info);

// Service lifecycle: start-up links the built-in table and runs each pending self-test once
// per process; shutdown empties the dynamic provider list only.
int32_t CipherStartup();
int32_t CipherShutdown();

// Contexts.
int32_t CipherOpen(CipherContext* context, int32_t algorithmId, int32_t modeId);
int32_t CipherOpenWithParam(CipherContext* context, int32_t algorithmId, int32_t modeId,
                            void* parameter);
int32_t CipherClose(CipherContext* context);
int32_t CipherSetKey(CipherContext* context, const uint8_t* key, int32_t length);
int32_t CipherSetIv(CipherContext* context, const uint8_t* iv, int32_t length);
int32_t CipherGetIv(const CipherContext* context, uint8_t* output);
int32_t CipherEncrypt(CipherContext* context, uint8_t* data, int32_t length);
int32_t CipherDecrypt(CipherContext* context, uint8_t* data, int32_t length);

// Hands out length (at most 64) bytes of the time-seeded pool.
void CipherFillRandom(uint8_t* output, int32_t length);

// Zeroes the first length bytes of *owner's heap buffer, frees it and empties *owner.
void CipherWipeFree(void** owner, int32_t length);

// Zeroing that the compiler may not drop as a dead store (before free, or at end of scope).
void CipherSecureZero(void* data, size_t length);

// The dynamic provider list: heap records owned by the service, emptied by CipherShutdown.
// Nothing in the library adds to it; the head is exposed for that owner and for tests.
CipherProvider*& CipherDynamicProviders();
