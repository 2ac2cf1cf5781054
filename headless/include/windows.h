// The headless stand-in for the Win32 functions that lxagree's host code calls, for the native
// (Linux) build. It declares exactly the subset the code uses, under the Win32 names, so that
// the same host source compiles here and against the real headers with MinGW. Written from
// what the host code needs; the constants are the platform's values.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef int INT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uint32_t COLORREF;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef int HFILE;
typedef size_t SIZE_T;

// Distinct opaque handle types, so that mixing them up does not compile.
#define LX_DECLARE_HANDLE(name) \
    struct name##__ {           \
        int unused;             \
    };                          \
    typedef struct name##__* name
LX_DECLARE_HANDLE(HWND);
LX_DECLARE_HANDLE(HINSTANCE);
LX_DECLARE_HANDLE(HBRUSH);
LX_DECLARE_HANDLE(HBITMAP);
LX_DECLARE_HANDLE(HDC);
LX_DECLARE_HANDLE(HMENU);
#undef LX_DECLARE_HANDLE
typedef void* HANDLE;
typedef HANDLE HGLOBAL;
typedef HANDLE HGDIOBJ;
typedef HINSTANCE HMODULE;

#define TRUE 1
#define FALSE 0

// DllMain reasons.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// Message boxes.
#define MB_OK 0x00000000u
#define MB_ICONINFORMATION 0x00000040u
#define MB_TASKMODAL 0x00002000u
#define IDOK 1
#define IDCANCEL 2

// Global memory.
#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

// Files.
#define OF_READ 0x00000000u
#define HFILE_ERROR (-1)
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define OFS_MAXPATHNAME 128
typedef struct _OFSTRUCT {
    BYTE cBytes;
    BYTE fFixedDisk;
    WORD nErrCode;
    WORD Reserved1;
    WORD Reserved2;
    CHAR szPathName[OFS_MAXPATHNAME];
} OFSTRUCT, *LPOFSTRUCT;

// Messages.
#define WM_DESTROY 0x0002u
#define WM_SETTEXT 0x000Cu
#define WM_GETTEXT 0x000Du
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_WININICHANGE 0x001Au
#define WM_SETTINGCHANGE WM_WININICHANGE
#define WM_KEYDOWN 0x0100u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_SYSCOMMAND 0x0112u
#define WM_CTLCOLORMSGBOX 0x0132u
#define WM_CTLCOLOREDIT 0x0133u
#define WM_CTLCOLORLISTBOX 0x0134u
#define WM_CTLCOLORBTN 0x0135u
#define WM_CTLCOLORDLG 0x0136u
#define WM_CTLCOLORSCROLLBAR 0x0137u
#define WM_CTLCOLORSTATIC 0x0138u
#define BM_GETCHECK 0x00F0u
#define BM_SETCHECK 0x00F1u
#define BM_CLICK 0x00F5u
#define BN_CLICKED 0
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define SC_CLOSE 0xF060u
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_NEXT 0x22

// Window, dialog and control styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_VSCROLL 0x00200000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define SS_LEFT 0x00000000L
#define SS_BLACKRECT 0x00000004L
#define SS_GRAYRECT 0x00000005L
#define ES_MULTILINE 0x0004L
#define ES_NOHIDESEL 0x0100L
#define ES_READONLY 0x0800L
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_TYPEMASK 0x0000000FL

#define SW_HIDE 0
#define SW_SHOW 5
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u

// System metrics and colours.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define COLOR_BTNFACE 15
#define COLOR_BTNTEXT 18

// GDI.
#define SRCCOPY 0x00CC0020u
#define MM_TEXT 1

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))
#define LOWORD(l) (static_cast<WORD>(static_cast<uintptr_t>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<uintptr_t>(l) >> 16) & 0xFFFF))
#define MAKEWPARAM(lo, hi)                                           \
    (static_cast<WPARAM>(static_cast<DWORD>(static_cast<WORD>(lo)) | \
                         (static_cast<DWORD>(static_cast<WORD>(hi)) << 16)))
#define RGB(r, g, b)                                                                               \
    (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                           (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

// Kernel: strings, global memory, files, the Windows directory.
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b);
int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
LPSTR WINAPI lstrcpyA(LPSTR to, LPCSTR from);
LPSTR WINAPI lstrcatA(LPSTR to, LPCSTR from);
int WINAPI lstrlenA(LPCSTR s);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID WINAPI GlobalLock(HGLOBAL block);
BOOL WINAPI GlobalUnlock(HGLOBAL block);
HGLOBAL WINAPI GlobalFree(HGLOBAL block);
UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);
HFILE WINAPI OpenFile(LPCSTR path, LPOFSTRUCT info, UINT style);
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD high);
UINT WINAPI _lread(HFILE file, LPVOID buffer, UINT bytes);
HFILE WINAPI _lclose(HFILE file);

// User: message boxes, dialogs, windows, controls.
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);
INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC procedure, LPARAM initParam);
BOOL WINAPI EndDialog(HWND dialog, INT_PTR result);
HWND WINAPI GetDlgItem(HWND dialog, int id);
BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
UINT WINAPI IsDlgButtonChecked(HWND dialog, int id);
LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI IsWindowVisible(HWND window);
BOOL WINAPI EnableWindow(HWND window, BOOL enable);
BOOL WINAPI IsWindowEnabled(HWND window);
HWND WINAPI SetFocus(HWND window);
HWND WINAPI GetFocus();
int WINAPI GetSystemMetrics(int index);
DWORD WINAPI GetSysColor(int index);
BOOL WINAPI GetWindowRect(HWND window, LPRECT rect);
BOOL WINAPI GetClientRect(HWND window, LPRECT rect);
int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count);
BOOL WINAPI SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL WINAPI UpdateWindow(HWND window);
HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint);
HBITMAP WINAPI LoadBitmapA(HINSTANCE instance, LPCSTR name);

// GDI.
HBRUSH WINAPI CreateSolidBrush(COLORREF colour);
BOOL WINAPI DeleteObject(HGDIOBJ object);
COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour);
COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour);
HDC WINAPI CreateCompatibleDC(HDC dc);
BOOL WINAPI DeleteDC(HDC dc);
HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object);
int WINAPI GetMapMode(HDC dc);
int WINAPI SetMapMode(HDC dc, int mode);
int WINAPI GetObjectA(HANDLE object, int size, LPVOID buffer);
BOOL WINAPI BitBlt(HDC dest, int x, int y, int cx, int cy, HDC source, int sx, int sy, DWORD rop);
