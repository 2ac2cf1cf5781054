#include "host/agreement_dialog.h"

#include "cipher/crypt_buffer.h"
#include "host/agreement_key.h"
#include "host/host_interface.h"
#include "resources/resource_ids.h"

HWND activeAgreementDialog = nullptr;
HBRUSH agreementBrush = nullptr;
HBITMAP agreementBitmap = nullptr;
AgreementParams* currentAgreement = nullptr;

const char kAgreementWelcomeText[] =
    "Welcome to the latest software from Lorvex Technologies, Inc.\r\n"
    "Please read the following License Agreement. You must accept the Agreement to continue.";

namespace {

constexpr size_t kWelcomeBlockSize = 256;
static_assert(sizeof kAgreementWelcomeText <= kWelcomeBlockSize);

void DeleteBrush() {
    if (agreementBrush != nullptr) {
        DeleteObject(agreementBrush);
        agreementBrush = nullptr;
    }
}

// Ends a dialog that must not be shown: nothing of it stays behind.
INT_PTR EndBeforeShown(HWND dialog, AgreementParams* params) {
    params->accepted = 0;
    DeleteBrush();
    currentAgreement = nullptr;
    EndDialog(dialog, 0);
    return TRUE;
}

void ShowWelcomeText(HWND dialog) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kWelcomeBlockSize);
    if (block == nullptr) {
        return;  // the template's text stays
    }
    if (auto* text = static_cast<char*>(GlobalLock(block))) {
        // The text is the whole format; it holds no conversion.
        wsprintfA(text, kAgreementWelcomeText);
        SetDlgItemTextA(dialog, IDC_WELCOME_TEXT, text);
        GlobalUnlock(block);
    }
    GlobalFree(block);
}

INT_PTR OnInitDialog(HWND dialog, AgreementParams* params) {
    if (activeAgreementDialog != nullptr) {
        EndDialog(dialog, 0);  // another agreement dialog of this process is open
        return TRUE;
    }
    if (params == nullptr) {
        EndDialog(dialog, 0);  // nothing to show
        return TRUE;
    }
    agreementBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    CenterOnScreen(dialog);
    currentAgreement = params;

    auto* text = static_cast<uint8_t*>(GlobalLock(params->textBlock));
    if (params->textLength % 8 != 0) {
        if (text != nullptr) {
            GlobalUnlock(params->textBlock);
        }
        return EndBeforeShown(dialog, params);
    }
    // The low 16 bits of the length, read as a signed count, as the decryption path carries it.
    const int32_t decrypted = DecryptWithNumberKey(
        text, static_cast<int16_t>(params->textLength & 0xFFFF), kAgreementKeyNumber);
    if (decrypted != kCryptBufferOk) {
        // The person has been told; text that could not be decrypted is never offered for
        // acceptance.
        if (text != nullptr) {
            GlobalUnlock(params->textBlock);
        }
        return EndBeforeShown(dialog, params);
    }
    SetDlgItemTextA(dialog, IDC_AGREEMENT_TEXT, reinterpret_cast<const char*>(text));
    GlobalUnlock(params->textBlock);

    if (params->beta != 0) {
        ShowWindow(GetDlgItem(dialog, IDC_CANCEL_BUTTON), SW_HIDE);
        agreementBitmap = LoadBitmapA(moduleInstance, MAKEINTRESOURCEA(IDB_BETA_LOGO));
    } else {
        agreementBitmap = LoadBitmapA(moduleInstance, MAKEINTRESOURCEA(IDB_STANDARD_LOGO));
    }
    ShowWindow(GetDlgItem(dialog, IDC_PICTURE_FRAME), SW_HIDE);
    ShowWelcomeText(dialog);
    activeAgreementDialog = dialog;
    SetDlgItemTextA(dialog, IDC_CANCEL_BUTTON, "Cancel");
    SetFocus(GetDlgItem(dialog, IDC_AGREEMENT_TEXT));
    return FALSE;  // the focus is set
}

void Finish(HWND dialog, int16_t accepted) {
    if (currentAgreement != nullptr) {
        currentAgreement->accepted = accepted;
    }
    EndDialog(dialog, accepted);
}

INT_PTR OnCommand(HWND dialog, WORD id, WORD notification) {
    switch (id) {
        case IDC_ACCEPT:
        case IDC_DECLINE:
            if (notification == BN_CLICKED) {
                EnableWindow(GetDlgItem(dialog, IDC_CONTINUE), TRUE);
            }
            return FALSE;
        case IDC_CONTINUE:
            if (SendDlgItemMessageA(dialog, IDC_ACCEPT, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                Finish(dialog, 1);
            } else if (SendDlgItemMessageA(dialog, IDC_DECLINE, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                Finish(dialog, 0);
            }
            return TRUE;
        case IDC_CANCEL_BUTTON:
            Finish(dialog, 0);
            return TRUE;
        default:
            return FALSE;  // IDCANCEL included: Escape does not close the dialog
    }
}

INT_PTR OnControlColour(HDC dc) {
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<INT_PTR>(agreementBrush);
}

INT_PTR OnSettingChange(HWND dialog) {
    DeleteBrush();
    agreementBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    InvalidateRect(dialog, nullptr, TRUE);
    UpdateWindow(dialog);
    return FALSE;
}

INT_PTR OnPaint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    HWND frame = GetDlgItem(dialog, IDC_PICTURE_FRAME);
    RECT rect{};
    GetClientRect(frame, &rect);
    MapWindowPoints(frame, dialog, reinterpret_cast<POINT*>(&rect), 2);
    // Without a bitmap there is nothing to size the copy by; the background shows.
    if (dc != nullptr && agreementBitmap != nullptr) {
        BlitBitmapClipped(dc, agreementBitmap, &rect);
    }
    EndPaint(dialog, &paint);
    return FALSE;
}

INT_PTR OnClose(HWND dialog) {
    const bool accepted = currentAgreement != nullptr && currentAgreement->accepted == 1;
    EndDialog(dialog, accepted ? 1 : 0);
    return FALSE;
}

INT_PTR OnDestroy(HWND dialog) {
    // A dialog the guard turned away is not the active one and touches nothing of it.
    if (dialog != activeAgreementDialog) {
        return FALSE;
    }
    DeleteBrush();
    if (agreementBitmap != nullptr) {
        DeleteObject(agreementBitmap);
        agreementBitmap = nullptr;
    }
    activeAgreementDialog = nullptr;
    currentAgreement = nullptr;
    return FALSE;
}

}  // namespace

void CenterOnScreen(HWND window) {
    const auto screenWidth = static_cast<int16_t>(GetSystemMetrics(SM_CXSCREEN));
    const auto screenHeight = static_cast<int16_t>(GetSystemMetrics(SM_CYSCREEN));
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        return;
    }
    // Truncating division; a window larger than the screen gets a negative coordinate.
    const auto x = static_cast<int16_t>((screenWidth - (rect.right - rect.left)) / 2);
    const auto y = static_cast<int16_t>((screenHeight - (rect.bottom - rect.top)) / 2);
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void BlitBitmapClipped(HDC dc, HBITMAP bitmap, const RECT* rect) {
    HDC memory = CreateCompatibleDC(dc);
    if (memory == nullptr) {
        return;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SetMapMode(memory, GetMapMode(dc));
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    const LONG rectWidth = rect->right - rect->left;
    const LONG rectHeight = rect->bottom - rect->top;
    const LONG width = info.bmWidth < rectWidth ? info.bmWidth : rectWidth;
    const LONG height = info.bmHeight < rectHeight ? info.bmHeight : rectHeight;
    BitBlt(dc, rect->left, rect->top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

extern "C" INT_PTR CALLBACK CovenixAgreementDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog, reinterpret_cast<AgreementParams*>(lParam));
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
            return OnControlColour(reinterpret_cast<HDC>(wParam));
        case WM_CTLCOLORDLG:
            return reinterpret_cast<INT_PTR>(agreementBrush);
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
            return FALSE;
        case WM_WININICHANGE:
            return OnSettingChange(dialog);
        case WM_PAINT:
            return OnPaint(dialog);
        case WM_CLOSE:
            return OnClose(dialog);
        case WM_DESTROY:
            return OnDestroy(dialog);
        default:
            return FALSE;
    }
}
