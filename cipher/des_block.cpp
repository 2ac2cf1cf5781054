// libcrypto binding. The single-block DES_encrypt1 is used instead of DES_ecb_encrypt: it does
// the same work on one block, but DES_ecb_encrypt would pull libcrypto's error and start-up
// machinery (megabytes) into the Windows DLL.
//
// OpenSSL 3 marks the DES_* interface deprecated; it is the one that exposes a plain schedule,
// so the warning is silenced here and nowhere else.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "cipher/des_block.h"

#include "cipher/cipher_registry.h"

#include <openssl/des.h>

#include <cstring>

static_assert(sizeof(DES_key_schedule) == sizeof(DesKeySchedule));
static_assert(alignof(DES_key_schedule) <= alignof(DesKeySchedule));

namespace {

DES_key_schedule* Native(DesKeySchedule* schedule) {
    return reinterpret_cast<DES_key_schedule*>(schedule);
}

void LibcryptoSetKey(const uint8_t key[8], DesKeySchedule* schedule) {
    DES_cblock block;
    std::memcpy(block, key, sizeof block);
    DES_set_key_unchecked(&block, Native(schedule));
    CipherSecureZero(block, sizeof block);  // no copy of the key stays on the stack
}

uint32_t LoadLittleEndian(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void StoreLittleEndian(uint32_t v, uint8_t* p) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// DES_ecb_encrypt loads the block as two little-endian words, runs DES_encrypt1 (initial and
// final permutations included) and stores them back the same way; so does this.
void LibcryptoCrypt(uint8_t block[8], const DesKeySchedule* schedule, bool encrypt) {
    DES_LONG words[2] = {LoadLittleEndian(block), LoadLittleEndian(block + 4)};
    DES_encrypt1(words, Native(const_cast<DesKeySchedule*>(schedule)),
                 encrypt ? DES_ENCRYPT : DES_DECRYPT);
    StoreLittleEndian(static_cast<uint32_t>(words[0]), block);
    StoreLittleEndian(static_cast<uint32_t>(words[1]), block + 4);
}

}  // namespace

const DesBlockOps kDesBlockOps = {LibcryptoSetKey, LibcryptoCrypt};
