// Checks the DES known-answer tables twice over: first the structure that holds without running
// DES at all (how the tables feed one another), then every entry against an independent DES,
// the openssl command line, since the tables must not be judged by the cipher they will test.
#include "cipher/des_known_answers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#endif

namespace {

constexpr uint8_t kWeakKey[8] = {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01};
constexpr uint8_t kZeroBlock[8] = {};

std::string Hex(const uint8_t* block) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (int i = 0; i < 8; ++i) {
        s += kDigits[block[i] >> 4];
        s += kDigits[block[i] & 0x0F];
    }
    return s;
}

bool SameBlock(const uint8_t* a, const uint8_t* b) {
    return std::memcmp(a, b, 8) == 0;
}

// Block with only bit `bit` set, bit 0 being the leftmost (most significant of byte 0).
std::vector<uint8_t> SingleBitBlock(int bit) {
    std::vector<uint8_t> b(8, 0);
    b[bit / 8] = static_cast<uint8_t>(0x80 >> (bit % 8));
    return b;
}

// Key with only key bit `keyBit` (0..55) set; every parity bit is 1 so each byte has odd parity.
std::vector<uint8_t> SingleKeyBitKey(int keyBit) {
    std::vector<uint8_t> k(8, 0x01);
    k[keyBit / 7] = static_cast<uint8_t>(0x80 >> (keyBit % 7));
    return k;
}

const DesKnownAnswerTable& Table(size_t i) {
    return kDesKnownAnswerTables[i];
}

TEST(DesKnownAnswers, TablesComeInSelfTestOrderWithPublishedSizes) {
    struct Expected {
        const char* name;
        DesDirection direction;
        size_t count;
    };
    const Expected expected[kDesKnownAnswerTableCount] = {
        {"Inverse Permutation", DesDirection::Encrypt, 64},
        {"Variable Plaintext", DesDirection::Encrypt, 64},
        {"Variable Key", DesDirection::Encrypt, 56},
        {"Variable Key (decryption)", DesDirection::Decrypt, 56},
        {"Permutation Operation", DesDirection::Encrypt, 32},
        {"Substitution Table", DesDirection::Encrypt, 19},
    };
    size_t total = 0;
    for (size_t i = 0; i < kDesKnownAnswerTableCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(Table(i).name, expected[i].name);
        EXPECT_EQ(Table(i).direction, expected[i].direction);
        EXPECT_EQ(Table(i).count, expected[i].count);
        EXPECT_NE(Table(i).entries, nullptr);
        total += Table(i).count;
    }
    EXPECT_EQ(total, 291u);
}

TEST(DesKnownAnswers, VariablePlaintextAndInversePermutationMirrorEachOther) {
    const DesKnownAnswerTable& inverse = Table(0);
    const DesKnownAnswerTable& plain = Table(1);
    ASSERT_EQ(inverse.count, 64u);
    ASSERT_EQ(plain.count, 64u);
    for (int bit = 0; bit < 64; ++bit) {
        SCOPED_TRACE("bit " + std::to_string(bit));
        const std::vector<uint8_t> single = SingleBitBlock(bit);
        EXPECT_TRUE(SameBlock(plain.entries[bit].key, kWeakKey));
        EXPECT_TRUE(SameBlock(inverse.entries[bit].key, kWeakKey));
        EXPECT_TRUE(SameBlock(plain.entries[bit].input, single.data()))
            << Hex(plain.entries[bit].input);
        EXPECT_TRUE(SameBlock(inverse.entries[bit].expected, single.data()))
            << Hex(inverse.entries[bit].expected);
        EXPECT_TRUE(SameBlock(inverse.entries[bit].input, plain.entries[bit].expected))
            << Hex(inverse.entries[bit].input) << " vs " << Hex(plain.entries[bit].expected);
    }
}

TEST(DesKnownAnswers, VariableKeyDecryptionUndoesVariableKey) {
    const DesKnownAnswerTable& forward = Table(2);
    const DesKnownAnswerTable& backward = Table(3);
    ASSERT_EQ(forward.count, 56u);
    ASSERT_EQ(backward.count, 56u);
    for (int keyBit = 0; keyBit < 56; ++keyBit) {
        SCOPED_TRACE("key bit " + std::to_string(keyBit));
        const std::vector<uint8_t> key = SingleKeyBitKey(keyBit);
        EXPECT_TRUE(SameBlock(forward.entries[keyBit].key, key.data()))
            << Hex(forward.entries[keyBit].key);
        EXPECT_TRUE(SameBlock(forward.entries[keyBit].input, kZeroBlock));
        EXPECT_TRUE(SameBlock(backward.entries[keyBit].key, forward.entries[keyBit].key));
        EXPECT_TRUE(SameBlock(backward.entries[keyBit].input, forward.entries[keyBit].expected));
        EXPECT_TRUE(SameBlock(backward.entries[keyBit].expected, kZeroBlock));
    }
}

TEST(DesKnownAnswers, PermutationOperationEnciphersZero) {
    const DesKnownAnswerTable& perm = Table(4);
    for (size_t i = 0; i < perm.count; ++i) {
        EXPECT_TRUE(SameBlock(perm.entries[i].input, kZeroBlock)) << "entry " << i;
    }
}

// DES ignores the low bit of each key byte, so a slip there would pass any cipher check; the
// publication prints every key with odd parity, which catches it.
TEST(DesKnownAnswers, EveryKeyHasOddParity) {
    for (size_t t = 0; t < kDesKnownAnswerTableCount; ++t) {
        for (size_t i = 0; i < Table(t).count; ++i) {
            for (int b = 0; b < 8; ++b) {
                unsigned ones = 0;
                for (uint8_t v = Table(t).entries[i].key[b]; v != 0; v &= v - 1) {
                    ++ones;
                }
                EXPECT_EQ(ones % 2, 1u) << Table(t).name << " entry " << i << " key "
                                        << Hex(Table(t).entries[i].key) << " byte " << b;
            }
        }
    }
}

#if defined(_WIN32)
constexpr const char* kDiscardStderr = " 2>NUL";
#else
constexpr const char* kDiscardStderr = " 2>/dev/null";
#endif

// Runs `command`, returning its stdout and whether it exited with status 0.
bool RunCapture(const std::string& command, std::string* out) {
    out->clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
        out->append(buf, n);
    }
    return pclose(pipe) == 0;
}

class ScratchFile {
  public:
    ScratchFile() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() /
                ("des_kat_" + std::to_string(rd()) + "_" + std::to_string(rd()) + ".bin");
    }
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    bool Write(const std::string& bytes) const {
        std::ofstream f(path_, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(f);
    }
    std::string Quoted() const { return "\"" + path_.string() + "\""; }

  private:
    std::filesystem::path path_;
};

// openssl des-ecb over `input` (a whole number of blocks, no padding) under one key.
bool OpensslDesEcb(const ScratchFile& scratch, const uint8_t* key, DesDirection direction,
                   const std::string& input, std::string* output) {
    if (!scratch.Write(input)) {
        return false;
    }
    std::string cmd = "openssl enc -des-ecb -provider legacy -provider default -nopad -K " +
                      Hex(key) + (direction == DesDirection::Decrypt ? " -d" : "") + " -in " +
                      scratch.Quoted() + kDiscardStderr;
    return RunCapture(cmd, output);
}

// Each run of entries sharing one key and direction goes to openssl as one multi-block ECB
// input: ECB treats blocks independently, so every block still gets its own comparison.
TEST(DesKnownAnswers, EveryEntryMatchesOpensslDes) {
    std::string ignored;
    if (!RunCapture(std::string("openssl version") + kDiscardStderr, &ignored)) {
        GTEST_SKIP() << "the openssl command line is not available on this machine";
    }
    ScratchFile scratch;
    std::string probe;
    if (!OpensslDesEcb(scratch, kWeakKey, DesDirection::Encrypt,
                       std::string(reinterpret_cast<const char*>(kZeroBlock), 8), &probe) ||
        probe.size() != 8) {
        GTEST_SKIP() << "openssl cannot load its legacy provider, which single DES needs";
    }

    size_t checked = 0;
    for (size_t t = 0; t < kDesKnownAnswerTableCount; ++t) {
        const DesKnownAnswerTable& table = Table(t);
        for (size_t first = 0; first < table.count;) {
            size_t last = first + 1;
            while (last < table.count &&
                   SameBlock(table.entries[last].key, table.entries[first].key)) {
                ++last;
            }
            std::string input;
            for (size_t i = first; i < last; ++i) {
                input.append(reinterpret_cast<const char*>(table.entries[i].input), 8);
            }
            std::string output;
            const bool ran =
                OpensslDesEcb(scratch, table.entries[first].key, table.direction, input, &output);
            ASSERT_TRUE(ran) << table.name << ": openssl failed for key "
                             << Hex(table.entries[first].key);
            ASSERT_EQ(output.size(), input.size()) << table.name;
            for (size_t i = first; i < last; ++i) {
                const auto* got = reinterpret_cast<const uint8_t*>(output.data()) + 8 * (i - first);
                EXPECT_TRUE(SameBlock(got, table.entries[i].expected))
                    << table.name << " entry " << i << ": key " << Hex(table.entries[i].key)
                    << " input " << Hex(table.entries[i].input) << " expected "
                    << Hex(table.entries[i].expected) << " openssl " << Hex(got);
                ++checked;
            }
            first = last;
        }
    }
    EXPECT_EQ(checked, 291u);
}

}  // namespace
