// Test-control interface of the headless Win32 stand-in: used only by tests and tools, never by
// host code. It lets a test choose the machine (Windows directory, screen, colours), inject
// failures, act as the person at the screen while a modal dialog runs, and see what the host
// code did (message boxes, dialogs, GDI objects, live handles).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Resources of the module under test, as its native build provides them.
struct HeadlessControlTemplate {
    int id;
    const char* className;
    DWORD style;  // complete, WS_CHILD | WS_VISIBLE included
    short x, y, cx, cy;
    const char* text;
};
struct HeadlessDialogTemplate {
    const char* name;
    DWORD style;
    short x, y, cx, cy;
    const char* caption;
    int pointSize;
    const char* font;
    const HeadlessControlTemplate* controls;
    size_t controlCount;
};
struct HeadlessBitmapResource {
    int id;
    const char* path;  // the bitmap file the resource is made from
};
struct HeadlessModuleResources {
    const HeadlessDialogTemplate* dialogs;
    size_t dialogCount;
    const HeadlessBitmapResource* bitmaps;
    size_t bitmapCount;
};
// Defined by the module's native build; the stand-in finds its resources through it.
extern const HeadlessModuleResources kHeadlessModuleResources;

// The instance handle whose resources are kHeadlessModuleResources.
HINSTANCE HeadlessModuleInstance();

// Back to a freshly booted machine: no windows, objects, blocks, files or records, defaults for
// everything below.
void HeadlessReset();

// The machine.
void HeadlessSetWindowsDirectory(const std::string& hostPath);  // default: a missing folder
void HeadlessSetScreenSize(int width, int height);              // default 1024 x 768
void HeadlessSetSysColor(int index, COLORREF colour);           // default: Windows' classic ones
void HeadlessSetDialogBaseUnits(int x, int y);                  // pixels per 4 x / 8 y units; 6, 13

// Failure injection. Each counts calls from now on: 1 = the next call fails.
void HeadlessFailGlobalAlloc(int nthCall);
void HeadlessFailGlobalLock(int nthCall);
void HeadlessFailGetFileSize(int nthCall);
void HeadlessFailDialogCreation(int nthCall);
void HeadlessLimitReads(long maxBytesPerRead);  // -1 = no limit; _lread returns at most this

// Message boxes: every one is recorded; the answerer (default: press OK) sees each as shown.
struct HeadlessMessageBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
};
const std::vector<HeadlessMessageBox>& HeadlessMessageBoxes();
void HeadlessSetMessageBoxAnswerer(std::function<int(const HeadlessMessageBox&)> answerer);

// The person at the screen: while a modal dialog runs, each turn of its loop (after painting)
// takes the next step of the script and performs it on the topmost dialog. A dialog still open
// when the script runs out is ended by the stand-in as abandoned (its DialogBoxParamA returns -1)
// and recorded so, which tests treat as a failure.
using HeadlessStep = std::function<void(HWND dialog)>;
void HeadlessScriptPerson(std::vector<HeadlessStep> steps);

// What a person can do. Each returns false when the control cannot be reached (missing,
// hidden or disabled), as a real person could not click it.
bool HeadlessClick(HWND dialog, int controlId);
void HeadlessPressKey(HWND dialog, int virtualKey);
void HeadlessCloseWindow(HWND dialog);             // the close box / system menu Close
void HeadlessBroadcastSettingChange(HWND dialog);  // a system setting changed

// Dialogs run so far, in order of creation.
struct HeadlessDialogRecord {
    std::string templateName;
    bool shown = false;      // reached the modal loop (visible to the person)
    bool abandoned = false;  // the person's script ran out while it was open
    INT_PTR result = 0;
    int paints = 0;    // WM_PAINT messages it received
    POINT position{};  // where its window was last moved
};
const std::vector<HeadlessDialogRecord>& HeadlessDialogs();

// GDI objects made so far.
struct HeadlessBrush {
    HBRUSH handle;
    COLORREF colour;
    bool deleted;
};
struct HeadlessBitmap {
    HBITMAP handle;
    int resourceId;
    int width, height, bitsPerPixel;
    bool deleted;
};
struct HeadlessBlit {
    HDC dest;
    HWND destWindow;  // the window the destination DC paints, or null for a memory DC
    int x, y, cx, cy;
    HBITMAP sourceBitmap;  // what was selected into the source DC
    int sx, sy;
    DWORD rop;
};
const std::vector<HeadlessBrush>& HeadlessBrushes();
const std::vector<HeadlessBitmap>& HeadlessBitmaps();
const std::vector<HeadlessBlit>& HeadlessBlits();
COLORREF HeadlessTextColor(HDC dc);
COLORREF HeadlessBkColor(HDC dc);

// Live handles of each kind (tests assert none are left behind).
struct HeadlessLiveHandles {
    int globalBlocks, lockedBlocks, files, brushes, bitmaps, dcs, windows;
};
HeadlessLiveHandles HeadlessLive();
