// The cipher service driven by arbitrary call sequences on a few caller-owned contexts. After
// every call the service's own promises are checked, and a broken one traps:
//   - every answer is one of the documented statuses;
//   - a context that opened carries the marker and a provider until it is closed;
//   - a context closed by CipherClose, or left by an open that found no provider, is all zero;
//   - data buffers change only on a successful CipherEncrypt/CipherDecrypt, and then only
//     within the length given; CipherGetIv writes only the IV length it reports;
//   - a call refused for an argument (or for a context that is not open) changes no context.
// Lengths always stay inside the buffers passed: the service trusts its caller for that.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "cipher/cipher_registry.h"

namespace {

constexpr int kContexts = 3;
constexpr size_t kDataSize = 72;
constexpr size_t kKeySize = 520;  // more than the key buffer, so oversize keys can be offered
constexpr size_t kIvSize = 72;    // more than the IV buffer

enum class Model { Closed, HalfOpen, Open };

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool Documented(int32_t status) {
    switch (status) {
        case 0:
        case -1:
        case -2:
        case -4:
        case -5:
        case -6:
        case -7:
        case -19:
        case -20:
        case -21:
        case -22:
        case -23:
        case -24:
        case -25:
            return true;
        default:
            return false;
    }
}

// memcmp rather than a loop of byte tests: the harness's own comparisons would otherwise be
// traced for the fuzzer like the library's, and cost most of the time.
bool AllZero(const void* p, size_t n) {
    static const uint8_t zero[sizeof(CipherContext)] = {};
    return n <= sizeof zero && std::memcmp(p, zero, n) == 0;
}

bool IsRefusal(int32_t status) {
    return status == kCipherBadArgument1 || status == kCipherBadArgument2 ||
           status == kCipherBadArgument3 || status == kCipherBadArgument4 ||
           status == kCipherNotOpen;
}

struct Harness {
    // Heap blocks of exactly these sizes, so that AddressSanitizer sees any access outside.
    std::vector<CipherContext*> contexts;
    Model model[kContexts] = {Model::Closed, Model::Closed, Model::Closed};
    uint8_t* data = new uint8_t[kDataSize];
    uint8_t* key = new uint8_t[kKeySize];
    uint8_t* iv = new uint8_t[kIvSize];
    uint8_t* ivOut = new uint8_t[kCipherIvBufferSize];
    CipherInfo* info = new CipherInfo;
    int32_t* parameter = new int32_t(2);

    Harness() {
        for (int i = 0; i < kContexts; ++i) {
            contexts.push_back(new CipherContext{});
        }
    }
    ~Harness() {
        for (CipherContext* c : contexts) {
            delete c;
        }
        delete[] data;
        delete[] key;
        delete[] iv;
        delete[] ivOut;
        delete info;
        delete parameter;
    }

    void CheckContexts() const {
        for (int i = 0; i < kContexts; ++i) {
            const CipherContext* c = contexts[i];
            if (model[i] == Model::Open) {
                Check(c->marker == kCipherContextMarker && c->provider != nullptr);
            } else if (model[i] == Model::Closed) {
                Check(AllZero(c, sizeof *c));
            } else {
                Check(c->marker != kCipherContextMarker);  // refused: never usable
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    FuzzedDataProvider in(input, size);
    Harness h;
    // A few leading bytes of each buffer come from the input, the rest is a fixed pattern.
    for (size_t i = 0; i < kDataSize; ++i) {
        h.data[i] = static_cast<uint8_t>(i * 29 + 3);
    }
    std::memset(h.key, 0x5C, kKeySize);
    std::memset(h.iv, 0x36, kIvSize);
    std::memset(h.ivOut, 0xA5, kCipherIvBufferSize);
    in.ConsumeData(h.data, 16);
    in.ConsumeData(h.key, 8);
    in.ConsumeData(h.iv, 8);

    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        const uint8_t op = in.ConsumeIntegralInRange<uint8_t>(0, 12);
        // Context: one of ours, or none (index kContexts).
        const int which = in.ConsumeIntegralInRange<int>(0, kContexts);
        CipherContext* context = which < kContexts ? h.contexts[which] : nullptr;
        const bool nullPointer = in.ConsumeIntegralInRange<uint8_t>(0, 15) == 0;
        auto id = [&]() {
            return in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-1, 8)
                                    : in.ConsumeIntegral<int32_t>();
        };

        // What every call may not touch unless it says it did.
        uint8_t dataBefore[kDataSize];
        uint8_t ivOutBefore[kCipherIvBufferSize];
        CipherContext contextsBefore[kContexts];
        std::memcpy(dataBefore, h.data, kDataSize);
        std::memcpy(ivOutBefore, h.ivOut, kCipherIvBufferSize);
        for (int i = 0; i < kContexts; ++i) {
            contextsBefore[i] = *h.contexts[i];
        }

        int32_t status = 0;
        bool dataMayChange = false;
        int32_t dataLength = 0;
        switch (op) {
            case 0:
                status = CipherStartup();
                break;
            case 1:
                status = CipherShutdown();
                break;
            case 2:
            case 3: {
                const int32_t algorithm = id();
                const int32_t mode = id();
                // Opening a context that is open would drop its provider state: the caller
                // closes first, as with any handle it owns.
                if (which < kContexts && h.model[which] == Model::Open) {
                    continue;
                }
                status = op == 2 ? CipherOpen(context, algorithm, mode)
                                 : CipherOpenWithParam(context, algorithm, mode,
                                                       nullPointer ? nullptr : h.parameter);
                if (which < kContexts) {
                    if (status == kCipherOk) {
                        h.model[which] = Model::Open;
                    } else if (status == kCipherNoProvider || status == kCipherNoProviderInMode) {
                        h.model[which] = Model::Closed;
                    } else if (!IsRefusal(status)) {
                        h.model[which] = Model::HalfOpen;
                    }
                }
                break;
            }
            case 4:
                status = CipherClose(context);
                if (which < kContexts && status == kCipherOk) {
                    Check(h.model[which] == Model::Open);
                    h.model[which] = Model::Closed;
                }
                break;
            case 5: {
                const int32_t length = in.ConsumeIntegralInRange<int32_t>(-9, kKeySize);
                status = CipherSetKey(context, nullPointer ? nullptr : h.key, length);
                break;
            }
            case 6: {
                const int32_t length = in.ConsumeIntegralInRange<int32_t>(-9, kIvSize);
                status = CipherSetIv(context, nullPointer ? nullptr : h.iv, length);
                break;
            }
            case 7:
                status = CipherGetIv(context, nullPointer ? nullptr : h.ivOut);
                break;
            case 8:
            case 9: {
                // A piece anywhere in the buffer, or a negative length at its start.
                const size_t offset = in.ConsumeIntegralInRange<size_t>(0, kDataSize);
                dataLength = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(
                                                    0, static_cast<int32_t>(kDataSize - offset))
                                              : in.ConsumeIntegralInRange<int32_t>(INT32_MIN, 0);
                uint8_t* piece = nullPointer ? nullptr : h.data + offset;
                status = op == 8 ? CipherEncrypt(context, piece, dataLength)
                                 : CipherDecrypt(context, piece, dataLength);
                if (status == kCipherOk) {
                    dataMayChange = true;
                    // DES-ECB works on whole blocks only.
                    Check(context->provider->algorithmId != 2 || dataLength % 8 == 0);
                    Check(dataLength >= 0);
                    const size_t end = offset + static_cast<size_t>(dataLength);
                    Check(std::memcmp(h.data, dataBefore, offset) == 0);
                    Check(std::memcmp(h.data + end, dataBefore + end, kDataSize - end) == 0);
                }
                break;
            }
            case 10: {
                const int32_t algorithm = id();
                const int32_t mode = id();
                status = CipherGetInfo(algorithm, mode, nullPointer ? nullptr : h.info);
                break;
            }
            case 11:
                status = CipherContextInfo(context, nullPointer ? nullptr : h.info);
                break;
            case 12: {
                const int32_t algorithm = id();
                const int32_t mode = id();
                status = CipherCheckMode(algorithm, mode);
                break;
            }
        }

        Check(Documented(status));
        if (!dataMayChange) {
            Check(std::memcmp(h.data, dataBefore, kDataSize) == 0);
        }
        if (op == 7) {
            // Only the reported IV length, and only on success.
            int32_t n = context != nullptr && status == kCipherOk ? context->ivLength : 0;
            n = n < 0 ? 0 : (n > kCipherIvBufferSize ? kCipherIvBufferSize : n);
            Check(std::memcmp(h.ivOut + n, ivOutBefore + n, kCipherIvBufferSize - n) == 0);
        } else {
            Check(std::memcmp(h.ivOut, ivOutBefore, kCipherIvBufferSize) == 0);
        }
        // Refusals change no context; CipherEncrypt's provider may refuse a length after it
        // has given the context its IV, which is the context's own progress, not a refusal.
        const bool providerAnswer = (op == 8 || op == 9) && context != nullptr &&
                                    context->keySet != 0 && status == kCipherBadArgument3 &&
                                    dataLength >= 0;
        if (IsRefusal(status) && !providerAnswer) {
            for (int i = 0; i < kContexts; ++i) {
                Check(std::memcmp(h.contexts[i], &contextsBefore[i], sizeof(CipherContext)) == 0);
            }
        }
        h.CheckContexts();
    }

    // Every input ends with its contexts closed, so that nothing it opened stays allocated.
    for (int i = 0; i < kContexts; ++i) {
        if (h.model[i] == Model::Open) {
            Check(CipherClose(h.contexts[i]) == kCipherOk);
            Check(AllZero(h.contexts[i], sizeof(CipherContext)));
        }
    }
    return 0;
}
