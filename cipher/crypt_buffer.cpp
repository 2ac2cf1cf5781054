#include "cipher/crypt_buffer.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "host/host_interface.h"

CipherContext encryptingContext;
CipherContext decryptingContext;
// Room for the ten digits of the largest 32-bit number and the terminator, with margin.
char numberKeyText[16];

namespace {

constexpr int32_t kAlgorithm = 2;  // DES
constexpr int32_t kMode = 2;       // ECB
constexpr int32_t kWholeBlockPiece = 8;
constexpr size_t kIvTransferSize = 100;  // larger than any IV

bool ProbeCipher(int32_t algorithmId, int32_t modeId) {
    CipherInfo info;
    return CipherCheckAlgorithm(algorithmId) >= 0 && CipherCheckMode(algorithmId, modeId) >= 0 &&
           CipherGetInfo(algorithmId, modeId, &info) == kCipherOk;
}

bool OpenKeyedPair(CipherContext* first, CipherContext* second, int32_t algorithmId, int32_t modeId,
                   const uint8_t* key, int32_t keyLength) {
    return CipherOpen(first, algorithmId, modeId) >= 0 &&
           CipherSetKey(first, key, keyLength) >= 0 &&
           CipherOpen(second, algorithmId, modeId) >= 0 &&
           CipherSetKey(second, key, keyLength) >= 0;
}

int32_t CloseKeyedPair(CipherContext* first, CipherContext* second) {
    (void)CipherClose(first);
    return CipherClose(second);
}

// The length p of the first piece for a length n, or -1 when the mode refuses n. The whole-
// block modes always start with one 8-byte block; the others split unevenly on purpose.
int32_t FirstPiece(const CipherContext* context, int32_t n, bool encrypting) {
    CipherInfo info;
    if (CipherContextInfo(context, &info) != kCipherOk) {
        return -1;
    }
    int32_t p;
    switch (info.modeId) {
        case 2:
        case 3:
        case 6:
            if (n % kWholeBlockPiece != 0) {
                return -1;
            }
            p = kWholeBlockPiece;
            break;
        case 1:
        case 4:
        case 5:
            p = encrypting ? n / 3 + 1 : n / 2 + 1;
            break;
        default:
            return -1;
    }
    // A first piece longer than the buffer would run past its end (only a length of 0 can
    // get here): refused before any byte changes. Negative lengths go on as the 16-bit
    // patterns of 32768 and more always have: first piece done, second refused.
    if (n >= 0 && p > n) {
        return -1;
    }
    return p;
}

bool EncryptBuffer(CipherContext* context, uint8_t* data, int16_t length) {
    if (data == nullptr) {
        return false;  // CipherEncrypt would refuse it; no piece address is formed from it
    }
    const int32_t n = length;
    const int32_t p = FirstPiece(context, n, true);
    if (p < 0) {
        return false;
    }
    if (CipherEncrypt(context, data, p) < 0) {
        return false;
    }
    if (CipherEncrypt(context, data + p, n - p) < 0) {
        return false;
    }
    (void)CipherEncrypt(context, data + n, 0);  // finishing call with no data
    return true;
}

bool DecryptBuffer(CipherContext* first, CipherContext* second, uint8_t* data, int16_t length) {
    if (data == nullptr) {
        return false;  // CipherDecrypt would refuse it; no piece address is formed from it
    }
    CipherInfo info;
    if (CipherContextInfo(first, &info) != kCipherOk) {
        return false;
    }
    uint8_t iv[kIvTransferSize];
    std::memset(iv, 0, sizeof iv);
    if (info.defaultIvLength != 0 && CipherGetIv(first, iv) < 0) {
        return false;
    }
    // Needed even for an empty IV: decryption refuses a context that has none.
    if (CipherSetIv(second, iv, info.defaultIvLength) < 0) {
        return false;
    }
    const int32_t n = length;
    const int32_t p = FirstPiece(first, n, false);
    if (p < 0) {
        return false;
    }
    if (CipherDecrypt(second, data, p) < 0) {
        return false;
    }
    return CipherDecrypt(second, data + p, n - p) >= 0;
}

}  // namespace

int32_t CryptBuffer(uint8_t encrypt, uint8_t* data, int16_t length, const uint8_t* keyText,
                    int16_t keyLength) {
    if (CipherStartup() < 0) {
        return kCryptBufferServiceFailed;
    }
    int32_t outcome = kCryptBufferPassFailed;
    if (ProbeCipher(kAlgorithm, kMode)) {
        if (OpenKeyedPair(&encryptingContext, &decryptingContext, kAlgorithm, kMode, keyText,
                          keyLength)) {
            const bool done =
                encrypt != 0 ? EncryptBuffer(&encryptingContext, data, length)
                             : DecryptBuffer(&encryptingContext, &decryptingContext, data, length);
            outcome = done ? kCryptBufferOk : kCryptBufferPassFailed;
        }
        // Also after a failed open or key: closing a context that never opened only answers
        // a status nobody needs, and a half-opened pair must not keep its key schedule.
        (void)CloseKeyedPair(&encryptingContext, &decryptingContext);
        // An open that stopped after the lookup (self-test failed, no memory) leaves its
        // provider link in a context that close does not take; clear it, so that between
        // calls both contexts are all zero whatever happened.
        for (CipherContext* context : {&encryptingContext, &decryptingContext}) {
            if (context->marker != kCipherContextMarker) {
                CipherSecureZero(context, sizeof *context);
            }
        }
    }
    if (CipherShutdown() < 0) {
        return kCryptBufferServiceFailed;
    }
    return outcome;
}

int32_t DecryptWithNumberKey(uint8_t* data, int16_t length, uint32_t number) {
    wsprintfA(numberKeyText, "%07lu", static_cast<unsigned long>(number));
    // Always seven key bytes: the digits of an eight- to ten-digit number beyond the seventh
    // play no part.
    const int32_t result =
        CryptBuffer(0, data, length, reinterpret_cast<const uint8_t*>(numberKeyText), 7);
    if (result != kCryptBufferOk) {
        ShowMessage("License decryption failed.", "Cryptography Failure");
    }
    return result;
}
