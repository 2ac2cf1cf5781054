// Stands in for the libcrypto binding in some test programs: libcrypto's DES with every block
// call counted. Built with LX_DES_WRONG_LAST_ANSWER=1 it also gets the answer for the last
// Substitution Table entry wrong, so that the self-test fails at its very last entry.
#include "tests/support/counting_des_block.h"

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <cstring>

#include "cipher/des_known_answers.h"

#ifndef LX_DES_WRONG_LAST_ANSWER
#error "build with LX_DES_WRONG_LAST_ANSWER set to 0 or 1"
#endif

int countedDesBlockCalls = 0;

namespace {

void SetKey(const uint8_t key[8], DesKeySchedule* schedule) {
    DES_cblock block;
    std::memcpy(block, key, 8);
    DES_set_key_unchecked(&block, reinterpret_cast<DES_key_schedule*>(schedule));
}

void Crypt(uint8_t block[8], const DesKeySchedule* schedule, bool encrypt) {
    ++countedDesBlockCalls;
    DES_cblock in;
    std::memcpy(in, block, 8);
    DES_ecb_encrypt(&in, reinterpret_cast<DES_cblock*>(block),
                    reinterpret_cast<DES_key_schedule*>(const_cast<DesKeySchedule*>(schedule)),
                    encrypt ? DES_ENCRYPT : DES_DECRYPT);
#if LX_DES_WRONG_LAST_ANSWER
    const DesKnownAnswerTable& last = kDesKnownAnswerTables[kDesKnownAnswerTableCount - 1];
    if (std::memcmp(block, last.entries[last.count - 1].expected, 8) == 0) {
        block[0] ^= 0x80;
    }
#endif
}

}  // namespace

const DesBlockOps kDesBlockOps = {SetKey, Crypt};
