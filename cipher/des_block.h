// The DES block function the DES-ECB provider is built on, as a small table of operations so
// that the self-test can be run over another block function (one that is known to be wrong).
#pragma once

#include <cstdint>

// Same size and alignment as libcrypto's DES_key_schedule, which only des_block.cpp sees.
struct alignas(8) DesKeySchedule {
    uint8_t bytes[128];
};

struct DesBlockOps {
    // Builds a schedule from 8 key bytes; parity and weak keys are not checked.
    void (*setKey)(const uint8_t key[8], DesKeySchedule* schedule);
    // Encrypts (encrypt true) or decrypts one 8-byte block in place, FIPS 46-3 byte order.
    void (*crypt)(uint8_t block[8], const DesKeySchedule* schedule, bool encrypt);
};

// libcrypto's DES.
extern const DesBlockOps kDesBlockOps;
