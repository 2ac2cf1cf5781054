// The cipher service against bare libcrypto on the same bytes, in the same run.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <openssl/des.h>

#include <cstring>
#include <vector>

#include "bench/bench_ratios.h"
#include "cipher/crypt_buffer.h"
#include "cipher/des_ecb_provider.h"
#include "cipher/des_known_answers.h"

namespace {

constexpr int32_t kLength = 32760;
const uint8_t kKey[8] = {'0', '0', '1', '2', '3', '4', '5', 0};

std::vector<uint8_t> Data() {
    std::vector<uint8_t> data(kLength);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return data;
}

void BM_CipherEncrypt(benchmark::State& state) {
    CipherStartup();
    CipherContext ctx{};
    CipherOpen(&ctx, 2, 2);
    CipherSetKey(&ctx, kKey, 7);
    auto data = Data();
    for (auto _ : state) {
        if (CipherEncrypt(&ctx, data.data(), kLength) != 0) {
            state.SkipWithError("CipherEncrypt failed");
        }
        benchmark::DoNotOptimize(data.data());
    }
    CipherClose(&ctx);
    state.SetBytesProcessed(state.iterations() * kLength);
}

void BM_CipherDecrypt(benchmark::State& state) {
    CipherStartup();
    CipherContext ctx{};
    CipherOpen(&ctx, 2, 2);
    CipherSetKey(&ctx, kKey, 7);
    CipherSetIv(&ctx, kKey, 0);
    auto data = Data();
    for (auto _ : state) {
        if (CipherDecrypt(&ctx, data.data(), kLength) != 0) {
            state.SkipWithError("CipherDecrypt failed");
        }
        benchmark::DoNotOptimize(data.data());
    }
    CipherClose(&ctx);
    state.SetBytesProcessed(state.iterations() * kLength);
}

void BareDesLoop(benchmark::State& state, int direction) {
    DES_cblock key;
    std::memcpy(key, kKey, 8);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&key, &schedule);
    auto data = Data();
    for (auto _ : state) {
        for (int32_t i = 0; i < kLength; i += 8) {
            auto* block = reinterpret_cast<DES_cblock*>(data.data() + i);
            DES_ecb_encrypt(block, block, &schedule, direction);
        }
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * kLength);
}

void BM_BareDesEcbEncrypt(benchmark::State& state) {
    BareDesLoop(state, DES_ENCRYPT);
}
void BM_BareDesEcbDecrypt(benchmark::State& state) {
    BareDesLoop(state, DES_DECRYPT);
}

// Everything one call costs: start-up (the self-test runs only in the first call of the
// process), probe, open and key two contexts, decrypt, close, shut down.
void BM_CryptBufferDecrypt(benchmark::State& state) {
    auto data = Data();
    for (auto _ : state) {
        if (CryptBuffer(0, data.data(), static_cast<int16_t>(kLength), kKey, 7) != 0) {
            state.SkipWithError("CryptBuffer failed");
        }
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(state.iterations() * kLength);
}

void BM_DesEcbSelfTest(benchmark::State& state) {
    for (auto _ : state) {
        if (DesEcbSelfTest() != 0) {
            state.SkipWithError("self-test failed");
        }
    }
}

// The same 291 schedule-plus-block calls and comparisons, with nothing of ours around them.
void BM_BareKnownAnswerCalls(benchmark::State& state) {
    DES_key_schedule schedule;
    for (auto _ : state) {
        int wrong = 0;
        for (const DesKnownAnswerTable& table : kDesKnownAnswerTables) {
            const int direction =
                table.direction == DesDirection::Encrypt ? DES_ENCRYPT : DES_DECRYPT;
            for (size_t i = 0; i < table.count; ++i) {
                DES_cblock key, block;
                std::memcpy(key, table.entries[i].key, 8);
                std::memcpy(block, table.entries[i].input, 8);
                DES_set_key_unchecked(&key, &schedule);
                DES_ecb_encrypt(&block, &block, &schedule, direction);
                wrong += std::memcmp(block, table.entries[i].expected, 8) != 0;
            }
        }
        benchmark::DoNotOptimize(wrong);
    }
}

BENCHMARK(BM_CipherEncrypt);
BENCHMARK(BM_BareDesEcbEncrypt);
BENCHMARK(BM_CipherDecrypt);
BENCHMARK(BM_BareDesEcbDecrypt);
BENCHMARK(BM_CryptBufferDecrypt);
BENCHMARK(BM_DesEcbSelfTest);
BENCHMARK(BM_BareKnownAnswerCalls);

}  // namespace

int main(int argc, char** argv) {
    return RunBenchmarksWithRatios(argc, argv,
                                   {
                                       {"BM_CipherEncrypt", "BM_BareDesEcbEncrypt", 1.05},
                                       {"BM_CipherDecrypt", "BM_BareDesEcbDecrypt", 1.05},
                                       {"BM_CryptBufferDecrypt", "BM_BareDesEcbDecrypt", 1.10},
                                       {"BM_DesEcbSelfTest", "BM_BareKnownAnswerCalls", 1.5},
                                   });
}
