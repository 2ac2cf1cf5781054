#pragma once
// Known-answer data for the DES-ECB provider's power-up self-test. The values are the DES
// known-answer tests of NIST Special Publication 800-17 (Modes of Operation Validation System),
// transcribed from the publication rather than produced by any DES implementation, so that a
// fault shared by our cipher and a generator could not hide itself.
#include <cstddef>
#include <cstdint>

struct DesKnownAnswer {
    uint8_t key[8];
    uint8_t input[8];
    uint8_t expected[8];
};

enum class DesDirection : uint8_t { Encrypt, Decrypt };

struct DesKnownAnswerTable {
    const char* name;  // e.g. "Inverse Permutation"
    DesDirection direction;
    const DesKnownAnswer* entries;
    size_t count;
};

inline constexpr size_t kDesKnownAnswerTableCount = 6;

// In the order the self-test runs them: Inverse Permutation, Variable Plaintext, Variable Key,
// Variable Key (decryption), Permutation Operation, Substitution Table.
extern const DesKnownAnswerTable kDesKnownAnswerTables[kDesKnownAnswerTableCount];
