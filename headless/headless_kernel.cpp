// Kernel part of the stand-in: strings, global memory, files and the Windows directory.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "headless/headless_state.h"

namespace headless {

Machine& M() {
    static Machine machine;
    return machine;
}

uintptr_t NewHandle(Kind kind) {
    Machine& m = M();
    const uintptr_t value = m.nextHandle;
    m.nextHandle += 4;
    m.objects[value].kind = kind;
    return value;
}

Object* Find(const void* handle, Kind kind) {
    auto it = M().objects.find(Value(handle));
    if (it == M().objects.end() || it->second.kind != kind) {
        return nullptr;
    }
    return &it->second;
}

bool Fails(int& nthCall) {
    if (nthCall <= 0) {
        return false;
    }
    return --nthCall == 0;
}

}  // namespace headless

using namespace headless;

void HeadlessReset() {
    Machine& m = M();
    for (auto& [hfile, fd] : m.openFiles) {
        ::close(fd);
    }
    m = Machine{};
}

void HeadlessSetWindowsDirectory(const std::string& hostPath) {
    M().windowsDirectory = hostPath;
}
void HeadlessFailGlobalAlloc(int nthCall) {
    M().failGlobalAlloc = nthCall;
}
void HeadlessFailGlobalLock(int nthCall) {
    M().failGlobalLock = nthCall;
}
void HeadlessFailGetFileSize(int nthCall) {
    M().failGetFileSize = nthCall;
}
void HeadlessLimitReads(long maxBytesPerRead) {
    M().readLimit = maxBytesPerRead;
}

HeadlessLiveHandles HeadlessLive() {
    HeadlessLiveHandles live{};
    for (const auto& [value, object] : M().objects) {
        switch (object.kind) {
            case Kind::GlobalBlock:
                ++live.globalBlocks;
                live.lockedBlocks += object.block.locks > 0;
                break;
            case Kind::Brush:
                ++live.brushes;
                break;
            case Kind::Bitmap:
                live.bitmaps += value != M().stockBitmap;
                break;
            case Kind::Dc:
                ++live.dcs;
                break;
            case Kind::Window:
                ++live.windows;
                break;
        }
    }
    live.files = static_cast<int>(M().openFiles.size());
    return live;
}

// Strings. The comparisons are ordinal: the host code compares names and the word TRUE only.
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) {
    if (a == nullptr || b == nullptr) {
        return a == b ? 0 : (a == nullptr ? -1 : 1);
    }
    const int r = std::strcmp(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
    if (a == nullptr || b == nullptr) {
        return a == b ? 0 : (a == nullptr ? -1 : 1);
    }
    const int r = ::strcasecmp(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

LPSTR WINAPI lstrcpyA(LPSTR to, LPCSTR from) {
    if (to == nullptr || from == nullptr) {
        return nullptr;
    }
    return std::strcpy(to, from);
}

LPSTR WINAPI lstrcatA(LPSTR to, LPCSTR from) {
    if (to == nullptr || from == nullptr) {
        return nullptr;
    }
    return std::strcat(to, from);
}

int WINAPI lstrlenA(LPCSTR s) {
    return s == nullptr ? 0 : static_cast<int>(std::strlen(s));
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    // wsprintfA writes at most 1024 characters and the terminator.
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, 1025, format, args);
    va_end(args);
    return n > 1024 ? 1024 : n;
}

// Global memory. Blocks not asked to be zero-filled start with a fill pattern, so that code
// relying on zeros it did not ask for shows up.
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (Fails(M().failGlobalAlloc)) {
        return nullptr;
    }
    const uintptr_t handle = NewHandle(Kind::GlobalBlock);
    GlobalBlock& block = M().objects[handle].block;
    block.size = bytes;
    block.bytes.reset(new uint8_t[bytes == 0 ? 1 : bytes]);
    std::memset(block.bytes.get(), (flags & GMEM_ZEROINIT) ? 0 : 0xCD, bytes == 0 ? 1 : bytes);
    return As<HGLOBAL>(handle);
}

LPVOID WINAPI GlobalLock(HGLOBAL handle) {
    Object* object = Find(handle, Kind::GlobalBlock);
    if (object == nullptr || Fails(M().failGlobalLock) || object->block.size == 0) {
        return nullptr;
    }
    ++object->block.locks;
    return object->block.bytes.get();
}

BOOL WINAPI GlobalUnlock(HGLOBAL handle) {
    Object* object = Find(handle, Kind::GlobalBlock);
    if (object == nullptr || object->block.locks == 0) {
        return FALSE;
    }
    return --object->block.locks > 0 ? TRUE : FALSE;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL handle) {
    if (Find(handle, Kind::GlobalBlock) == nullptr) {
        return handle;  // failure: the handle comes back
    }
    M().objects.erase(Value(handle));
    return nullptr;
}

// Files. Windows paths of the host code ("dir\name") map onto the host folder chosen as the
// Windows directory; the last component is matched without regard to case, as Windows does.
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    const std::string& dir = M().windowsDirectory;
    if (buffer == nullptr || size <= dir.size()) {
        return static_cast<UINT>(dir.size() + 1);
    }
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return static_cast<UINT>(dir.size());
}

namespace {

std::string HostPath(LPCSTR path) {
    std::string host(path);
    for (char& c : host) {
        if (c == '\\') {
            c = '/';
        }
    }
    const size_t slash = host.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : host.substr(0, slash);
    const std::string name = slash == std::string::npos ? host : host.substr(slash + 1);
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(d)) {
            if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
                host = folder + "/" + entry->d_name;
                break;
            }
        }
        ::closedir(d);
    }
    return host;
}

}  // namespace

HFILE WINAPI OpenFile(LPCSTR path, LPOFSTRUCT info, UINT style) {
    if (path == nullptr || style != OF_READ) {
        return HFILE_ERROR;  // the stand-in only opens for reading
    }
    const std::string host = HostPath(path);
    struct stat st;
    // Only regular files open; a file without read permission is refused even for root,
    // as Windows refuses it to a user without access.
    if (::stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !(st.st_mode & S_IRUSR)) {
        if (info != nullptr) {
            info->nErrCode = 2;  // file not found
        }
        return HFILE_ERROR;
    }
    const int fd = ::open(host.c_str(), O_RDONLY);
    if (fd < 0) {
        return HFILE_ERROR;
    }
    if (info != nullptr) {
        info->cBytes = sizeof *info;
        info->nErrCode = 0;
        std::snprintf(info->szPathName, sizeof info->szPathName, "%s", path);
    }
    const HFILE file = fd + 1;  // never 0, like a real handle
    M().openFiles[file] = fd;
    return file;
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD high) {
    auto it = M().openFiles.find(static_cast<int>(reinterpret_cast<intptr_t>(file)));
    struct stat st;
    if (it == M().openFiles.end() || Fails(M().failGetFileSize) || ::fstat(it->second, &st) != 0) {
        return INVALID_FILE_SIZE;
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (high != nullptr) {
        *high = static_cast<DWORD>(size >> 32);
    }
    return static_cast<DWORD>(size);
}

UINT WINAPI _lread(HFILE file, LPVOID buffer, UINT bytes) {
    auto it = M().openFiles.find(file);
    if (it == M().openFiles.end() || buffer == nullptr) {
        return static_cast<UINT>(HFILE_ERROR);
    }
    if (M().readLimit >= 0 && bytes > static_cast<UINT>(M().readLimit)) {
        bytes = static_cast<UINT>(M().readLimit);
    }
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::read(it->second, static_cast<uint8_t*>(buffer) + done, bytes - done);
        if (n < 0) {
            return static_cast<UINT>(HFILE_ERROR);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<UINT>(done);
}

HFILE WINAPI _lclose(HFILE file) {
    auto it = M().openFiles.find(file);
    if (it == M().openFiles.end()) {
        return HFILE_ERROR;
    }
    ::close(it->second);
    M().openFiles.erase(it);
    return 0;
}
