// One-call encryption and decryption of a whole buffer in place with DES-ECB, and the
// number-keyed decryption that the agreement dialog uses.
#pragma once

#include <cstdint>

#include "cipher/cipher_registry.h"

// Result codes of CryptBuffer.
enum CryptBufferResult : int32_t {
    kCryptBufferOk = 0,              // the whole buffer was encrypted or decrypted
    kCryptBufferPassFailed = 1,      // the DES-ECB pass failed; the service was still shut down
    kCryptBufferServiceFailed = -1,  // CipherStartup or CipherShutdown failed
};

// Lengths are signed 16-bit counts, as on the whole decryption path: a caller holding a wider
// length can pass only its low 16 bits. Works on the first length bytes at data and nothing
// else. A length of 0 answers kCryptBufferPassFailed without touching anything: an empty
// buffer holds no DES-ECB block, so there is nothing that could be decrypted.
int32_t CryptBuffer(uint8_t encrypt, uint8_t* data, int16_t length, const uint8_t* keyText,
                    int16_t keyLength);

// Decrypts under the key made of the first seven characters of number written as "%07lu";
// on any non-zero result tells the person in a message box, then returns the result.
int32_t DecryptWithNumberKey(uint8_t* data, int16_t length, uint32_t number);

// Module-wide state, open only inside one CryptBuffer call (exposed for tests).
extern CipherContext encryptingContext;
extern CipherContext decryptingContext;
extern char numberKeyText[16];
