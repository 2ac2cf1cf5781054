// GDI part of the stand-in: brushes, device contexts, bitmaps loaded from the module's
// resources (with their real sizes from the bitmap files), painting and bit-block transfers.
#include <cstdio>
#include <cstring>

#include "headless/headless_state.h"

using namespace headless;

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Width, height and depth from a BMP file's headers; false when it is no bitmap file.
bool ReadBitmapFile(const char* path, int& width, int& height, int& bitsPerPixel) {
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return false;
    }
    uint8_t header[14 + 40];
    const bool read = std::fread(header, 1, sizeof header, f) == sizeof header;
    std::fclose(f);
    if (!read || header[0] != 'B' || header[1] != 'M' || Le32(header + 14) < 40) {
        return false;
    }
    width = static_cast<int32_t>(Le32(header + 18));
    const int32_t h = static_cast<int32_t>(Le32(header + 22));
    height = h < 0 ? -h : h;
    bitsPerPixel = header[28] | header[29] << 8;
    return true;
}

Dc* FindDc(HDC dc) {
    Object* object = Find(dc, Kind::Dc);
    return object == nullptr ? nullptr : &object->dc;
}

uintptr_t StockBitmap() {
    Machine& m = M();
    if (m.stockBitmap == 0) {
        m.stockBitmap = NewHandle(Kind::Bitmap);
        m.objects[m.stockBitmap].bitmapRecord = SIZE_MAX;
    }
    return m.stockBitmap;
}

HDC NewDc(HWND window, bool paint) {
    const uintptr_t handle = NewHandle(Kind::Dc);
    Dc& dc = M().objects[handle].dc;
    dc.window = window;
    dc.paint = paint;
    dc.selectedBitmap = StockBitmap();
    return As<HDC>(handle);
}

void ReleaseDc(HDC handle) {
    Dc* dc = FindDc(handle);
    if (dc == nullptr) {
        return;
    }
    if (Object* bitmap = M().objects.count(dc->selectedBitmap) != 0
                             ? &M().objects[dc->selectedBitmap]
                             : nullptr) {
        --bitmap->selectedInto;
    }
    M().objects.erase(Value(handle));
}

}  // namespace

const std::vector<HeadlessBrush>& HeadlessBrushes() {
    return M().brushes;
}
const std::vector<HeadlessBitmap>& HeadlessBitmaps() {
    return M().bitmaps;
}
const std::vector<HeadlessBlit>& HeadlessBlits() {
    return M().blits;
}
COLORREF HeadlessTextColor(HDC dc) {
    return FindDc(dc) != nullptr ? FindDc(dc)->text : 0;
}
COLORREF HeadlessBkColor(HDC dc) {
    return FindDc(dc) != nullptr ? FindDc(dc)->background : 0;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
    const uintptr_t handle = NewHandle(Kind::Brush);
    M().objects[handle].colour = colour;
    M().brushes.push_back({As<HBRUSH>(handle), colour, false});
    return As<HBRUSH>(handle);
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    auto it = M().objects.find(Value(object));
    if (it == M().objects.end()) {
        return FALSE;
    }
    Object& o = it->second;
    if (o.kind == Kind::Brush) {
        for (HeadlessBrush& b : M().brushes) {
            if (Value(b.handle) == Value(object) && !b.deleted) {
                b.deleted = true;
            }
        }
        M().objects.erase(it);
        return TRUE;
    }
    if (o.kind == Kind::Bitmap) {
        if (Value(object) == M().stockBitmap) {
            return TRUE;  // stock objects are never deleted
        }
        if (o.selectedInto > 0) {
            return FALSE;  // still selected into a device context
        }
        M().bitmaps[o.bitmapRecord].deleted = true;
        M().objects.erase(it);
        return TRUE;
    }
    return FALSE;
}

COLORREF WINAPI SetTextColor(HDC handle, COLORREF colour) {
    Dc* dc = FindDc(handle);
    if (dc == nullptr) {
        return 0xFFFFFFFFu;  // CLR_INVALID
    }
    const COLORREF previous = dc->text;
    dc->text = colour;
    return previous;
}

COLORREF WINAPI SetBkColor(HDC handle, COLORREF colour) {
    Dc* dc = FindDc(handle);
    if (dc == nullptr) {
        return 0xFFFFFFFFu;
    }
    const COLORREF previous = dc->background;
    dc->background = colour;
    return previous;
}

HDC WINAPI CreateCompatibleDC(HDC /*dc*/) {
    return NewDc(nullptr, false);
}

BOOL WINAPI DeleteDC(HDC handle) {
    Dc* dc = FindDc(handle);
    if (dc == nullptr || dc->paint) {
        return FALSE;
    }
    ReleaseDc(handle);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC handle, HGDIOBJ object) {
    Dc* dc = FindDc(handle);
    auto it = M().objects.find(Value(object));
    if (dc == nullptr || it == M().objects.end() || it->second.kind != Kind::Bitmap) {
        return nullptr;  // only bitmaps are ever selected by the host code
    }
    const uintptr_t previous = dc->selectedBitmap;
    if (M().objects.count(previous) != 0) {
        --M().objects[previous].selectedInto;
    }
    dc->selectedBitmap = Value(object);
    ++it->second.selectedInto;
    return As<HGDIOBJ>(previous);
}

int WINAPI GetMapMode(HDC handle) {
    Dc* dc = FindDc(handle);
    return dc != nullptr ? dc->mapMode : 0;
}

int WINAPI SetMapMode(HDC handle, int mode) {
    Dc* dc = FindDc(handle);
    if (dc == nullptr) {
        return 0;
    }
    const int previous = dc->mapMode;
    dc->mapMode = mode;
    return previous;
}

int WINAPI GetObjectA(HANDLE object, int size, LPVOID buffer) {
    Object* o = Find(object, Kind::Bitmap);
    if (o == nullptr || buffer == nullptr || size < static_cast<int>(sizeof(BITMAP))) {
        return 0;
    }
    BITMAP bm{};
    if (Value(object) == M().stockBitmap) {
        bm.bmWidth = 1;
        bm.bmHeight = 1;
        bm.bmBitsPixel = 1;
    } else {
        const HeadlessBitmap& record = M().bitmaps[o->bitmapRecord];
        bm.bmWidth = record.width;
        bm.bmHeight = record.height;
        bm.bmBitsPixel = static_cast<WORD>(record.bitsPerPixel);
        bm.bmWidthBytes = ((record.width * record.bitsPerPixel + 15) / 16) * 2;
    }
    bm.bmPlanes = 1;
    std::memcpy(buffer, &bm, sizeof bm);
    return sizeof bm;
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int cx, int cy, HDC source, int sx, int sy, DWORD rop) {
    Dc* d = FindDc(dest);
    Dc* s = FindDc(source);
    if (d == nullptr || s == nullptr) {
        return FALSE;
    }
    M().blits.push_back(
        {dest, d->window, x, y, cx, cy, As<HBITMAP>(s->selectedBitmap), sx, sy, rop});
    return TRUE;
}

HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    const uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (instance != HeadlessModuleInstance() || id > 0xFFFF) {
        return nullptr;  // our module's bitmaps are integer resources only
    }
    for (size_t i = 0; i < kHeadlessModuleResources.bitmapCount; ++i) {
        const HeadlessBitmapResource& r = kHeadlessModuleResources.bitmaps[i];
        if (static_cast<uintptr_t>(r.id) != id) {
            continue;
        }
        int width = 0, height = 0, bits = 0;
        if (!ReadBitmapFile(r.path, width, height, bits)) {
            return nullptr;
        }
        const uintptr_t handle = NewHandle(Kind::Bitmap);
        M().objects[handle].bitmapRecord = M().bitmaps.size();
        M().bitmaps.push_back({As<HBITMAP>(handle), r.id, width, height, bits, false});
        return As<HBITMAP>(handle);
    }
    return nullptr;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    Window* w = FindWindow(window);
    if (w == nullptr || paint == nullptr) {
        return nullptr;
    }
    w->invalid = false;
    const HDC dc = NewDc(window, true);
    std::memset(paint, 0, sizeof *paint);
    paint->hdc = dc;
    paint->fErase = TRUE;
    GetClientRect(window, &paint->rcPaint);
    return dc;
}

BOOL WINAPI EndPaint(HWND /*window*/, const PAINTSTRUCT* paint) {
    if (paint == nullptr || FindDc(paint->hdc) == nullptr || !FindDc(paint->hdc)->paint) {
        return FALSE;
    }
    ReleaseDc(paint->hdc);
    return TRUE;
}
