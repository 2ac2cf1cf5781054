// The stand-in's machine state, shared by its kernel, user and GDI parts.
#pragma once

#include <map>
#include <memory>

#include "headless/headless_control.h"

namespace headless {

enum class Kind { GlobalBlock, Brush, Bitmap, Dc, Window };

struct GlobalBlock {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    int locks = 0;
};

struct Dc {
    HWND window = nullptr;  // painted window; null for a memory DC
    bool paint = false;     // made by BeginPaint (released by EndPaint, not DeleteDC)
    COLORREF text = 0;
    COLORREF background = 0xFFFFFF;
    int mapMode = MM_TEXT;
    uintptr_t selectedBitmap = 0;
};

struct Window {
    bool dialog = false;
    HWND parent = nullptr;
    int id = 0;
    std::string className;
    DWORD style = 0;
    std::string text;
    bool visible = false;
    bool enabled = true;
    int check = BST_UNCHECKED;
    RECT rect{};  // dialog: window rect on screen; control: rect in the dialog's client area
    std::vector<HWND> children;  // controls, in template order
    DLGPROC procedure = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    bool invalid = false;
    size_t record = 0;  // index into the dialog records
};

struct Object {
    Kind kind;
    GlobalBlock block;
    COLORREF colour = 0;      // brush
    size_t bitmapRecord = 0;  // bitmap
    int selectedInto = 0;     // bitmap: DCs it is selected into
    Dc dc;
    Window window;
};

struct Machine {
    std::map<uintptr_t, Object> objects;
    uintptr_t nextHandle = 0x1000;
    std::string windowsDirectory = "/nonexistent-windows-directory";
    int screenWidth = 1024, screenHeight = 768;
    std::map<int, COLORREF> sysColors;
    int baseUnitX = 6, baseUnitY = 13;
    int failGlobalAlloc = 0, failGlobalLock = 0, failGetFileSize = 0, failDialog = 0;
    long readLimit = -1;
    std::map<int, int> openFiles;  // HFILE -> host descriptor
    std::vector<HeadlessMessageBox> messageBoxes;
    std::function<int(const HeadlessMessageBox&)> answerer;
    std::vector<HeadlessStep> script;
    size_t scriptPosition = 0;
    std::vector<HeadlessDialogRecord> dialogs;
    std::vector<HWND> modalStack;
    HWND focus = nullptr;
    std::vector<HeadlessBrush> brushes;
    std::vector<HeadlessBitmap> bitmaps;
    std::vector<HeadlessBlit> blits;
    uintptr_t stockBitmap = 0;
};

Machine& M();

uintptr_t NewHandle(Kind kind);
Object* Find(const void* handle, Kind kind);
inline uintptr_t Value(const void* handle) {
    return reinterpret_cast<uintptr_t>(handle);
}
template <typename H>
H As(uintptr_t value) {
    return reinterpret_cast<H>(value);
}

// Counts a call against an injected failure; true when this call is the one to fail.
bool Fails(int& nthCall);

// User-side helpers the GDI side needs.
Window* FindWindow(HWND window);

}  // namespace headless
