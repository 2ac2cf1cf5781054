#include "cipher/des_ecb_provider.h"

#include <cstdlib>
#include <cstring>

#include "cipher/des_known_answers.h"

namespace {

// The self-test works in module-wide storage of its own; no context is involved.
uint8_t selfTestBlock[kDesEcbBlockSize];
DesKeySchedule selfTestSchedule;

DesKeySchedule* ScheduleOf(CipherContext* context) {
    return static_cast<DesKeySchedule*>(context->state);
}

int32_t CryptBlocks(CipherContext* context, uint8_t* data, int32_t length, bool encrypt) {
    // A short last block is refused before any byte changes; nothing is padded.
    if (length < 0 || length % kDesEcbBlockSize != 0) {
        return kCipherBadArgument3;
    }
    const DesKeySchedule* schedule = ScheduleOf(context);
    if (schedule == nullptr) {
        return kCipherNotOpen;  // only a context forged past CipherOpen gets here
    }
    for (int32_t offset = 0; offset < length; offset += kDesEcbBlockSize) {
        kDesBlockOps.crypt(data + offset, schedule, encrypt);
    }
    return kCipherOk;
}

}  // namespace

int32_t DesEcbSelfTestUsing(const DesBlockOps& block) {
    for (const DesKnownAnswerTable& table : kDesKnownAnswerTables) {
        const bool encrypt = table.direction == DesDirection::Encrypt;
        for (size_t i = 0; i < table.count; ++i) {
            const DesKnownAnswer& entry = table.entries[i];
            std::memcpy(selfTestBlock, entry.input, sizeof selfTestBlock);
            block.setKey(entry.key, &selfTestSchedule);
            block.crypt(selfTestBlock, &selfTestSchedule, encrypt);
            if (std::memcmp(selfTestBlock, entry.expected, sizeof selfTestBlock) != 0) {
                return kCipherNotSelfTested;
            }
        }
    }
    return kCipherOk;
}

int32_t DesEcbSelfTest() {
    return DesEcbSelfTestUsing(kDesBlockOps);
}

int32_t DesEcbInit(CipherContext* context) {
    if (context->state != nullptr || context->auxState != 0) {
        return kCipherStateInUse;
    }
    void* schedule = std::malloc(kDesEcbScheduleSize);
    if (schedule == nullptr) {
        return kCipherNoMemory;
    }
    std::memset(schedule, 0, kDesEcbScheduleSize);
    context->state = schedule;
    context->stateSize = kDesEcbScheduleSize;
    return kCipherOk;
}

int32_t DesEcbInitWithParam(CipherContext* context, void* /*parameter*/) {
    return DesEcbInit(context);
}

int32_t DesEcbRelease(CipherContext* context) {
    CipherWipeFree(&context->state, context->stateSize);
    return kCipherOk;
}

int32_t DesEcbSetKey(CipherContext* context) {
    // Always the first 8 bytes of the key buffer, whatever keyLength says: a short key is
    // extended by what follows it there (zero after opening, or an earlier key's tail).
    if (context->state == nullptr) {
        return kCipherNotOpen;  // only a context forged past CipherOpen gets here
    }
    kDesBlockOps.setKey(context->key, ScheduleOf(context));
    return kCipherOk;
}

int32_t DesEcbEncrypt(CipherContext* context, uint8_t* data, int32_t length) {
    return CryptBlocks(context, data, length, true);
}

int32_t DesEcbDecrypt(CipherContext* context, uint8_t* data, int32_t length) {
    return CryptBlocks(context, data, length, false);
}
