#include "tests/support/heap_probe.h"

#include <cstring>
#include <map>

extern "C" void* __real_malloc(size_t size);
extern "C" void __real_free(void* p);

namespace {

bool recording = false;
bool inProbe = false;  // the probe's own containers allocate through operator new
int failNext = 0;
std::map<const void*, size_t>* live = nullptr;
std::vector<FreedBlock>* freed = nullptr;

}  // namespace

extern "C" void* __wrap_malloc(size_t size) {
    if (recording && !inProbe && failNext > 0) {
        --failNext;
        return nullptr;
    }
    void* p = __real_malloc(size);
    if (recording && !inProbe && p != nullptr) {
        inProbe = true;
        (*live)[p] = size;
        inProbe = false;
    }
    return p;
}

extern "C" void __wrap_free(void* p) {
    if (recording && !inProbe && p != nullptr) {
        inProbe = true;
        auto it = live->find(p);
        if (it != live->end()) {
            const auto* bytes = static_cast<const uint8_t*>(p);
            freed->push_back({p, std::vector<uint8_t>(bytes, bytes + it->second)});
            live->erase(it);
        }
        inProbe = false;
    }
    __real_free(p);
}

void HeapProbeStart() {
    inProbe = true;
    if (live == nullptr) {
        live = new std::map<const void*, size_t>;
        freed = new std::vector<FreedBlock>;
    }
    live->clear();
    freed->clear();
    failNext = 0;
    inProbe = false;
    recording = true;
}

const std::vector<FreedBlock>& HeapProbeFreed() {
    return *freed;
}
size_t HeapProbeLive() {
    return live->size();
}
void HeapProbeFailNext(int n) {
    failNext = n;
}
