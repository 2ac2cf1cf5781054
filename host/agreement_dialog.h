// The agreement dialog: shows the decrypted agreement read-only and ends with 1 only when the
// person chose "I accept the Agreement" and pressed Continue.
#pragma once

#include <windows.h>

#include <cstdint>

// What the loader hands the dialog. The loader owns the block and the record; the dialog only
// locks the block, decrypts it in place and unlocks it.
struct AgreementParams {
    HGLOBAL textBlock;    // ciphertext at start, plaintext after initialisation; +1 zero byte
    uint32_t textLength;  // text bytes in the block (the file's size)
    int16_t accepted;     // 1 when the person accepted; written by the dialog
    uint32_t beta;        // nonzero: the beta variant
};

// Module-wide state of the dialog, one set per process.
extern HWND activeAgreementDialog;  // the open agreement dialog: the single-instance guard
extern HBRUSH agreementBrush;       // button-face brush for the dialog and its controls
extern HBITMAP agreementBitmap;     // the picture in the frame
extern AgreementParams* currentAgreement;

extern "C" INT_PTR CALLBACK CovenixAgreementDlgProc(HWND dialog, UINT message, WPARAM wParam,
                                                    LPARAM lParam);

// Moves the window to the middle of the primary screen, keeping its size and z-order.
void CenterOnScreen(HWND window);

// Copies the bitmap to the rectangle's top-left corner, no larger than the rectangle.
void BlitBitmapClipped(HDC dc, HBITMAP bitmap, const RECT* rect);

// The texts the dialog puts in place at initialisation.
extern const char kAgreementWelcomeText[];
