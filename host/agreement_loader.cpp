#include "host/agreement_loader.h"

#include "host/agreement_dialog.h"

const char kLicenseMissingText[] =
    "File LICENSE.DAT not found. License Agreement can not be completed.";
const char kLicenseEmptyText[] =
    "File LICENSE.DAT is empty. License Agreement can not be completed.";
const char kLicenseTooLargeText[] =
    "File LICENSE.DAT is too large. License Agreement can not be completed.";
const char kLicenseNoMemoryText[] =
    "Not enough memory to read LICENSE.DAT. License Agreement can not be completed.";
const char kLicenseErrorCaption[] = "License Agreement Error";

namespace {

// The decryption path carries lengths as signed 16-bit counts of whole blocks.
constexpr DWORD kLicenseMaxSize = 32760;
constexpr UINT kWindowsDirectoryRoom = 256;
constexpr char kLicenseFileName[] = "\\license.dat";

int Report(DllCallParams* params, int result) {
    SetHostVariable(params, "DLLRETURN", result == 1 ? "1" : "0");
    return result;
}

int Refuse(DllCallParams* params, const char* text) {
    ShowMessage(text, kLicenseErrorCaption);
    return Report(params, 0);
}

}  // namespace

extern "C" int WINAPI LxLoadDialog(DllCallParams* params) {
    if (params == nullptr) {
        return 0;  // no table to report to, no text to choose the variant by
    }
    char path[kWindowsDirectoryRoom + sizeof kLicenseFileName];
    const UINT length = GetWindowsDirectoryA(path, kWindowsDirectoryRoom);
    if (length == 0 || length >= kWindowsDirectoryRoom) {
        return Refuse(params, kLicenseMissingText);  // no path that could be opened
    }
    lstrcatA(path, kLicenseFileName);

    OFSTRUCT openInfo{};
    const HFILE file = OpenFile(path, &openInfo, OF_READ);
    if (file == HFILE_ERROR) {
        return Refuse(params, kLicenseMissingText);
    }

    AgreementParams agreement{};
    const DWORD size = GetFileSize(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file)), nullptr);
    agreement.textLength = size;
    // Outside the format: an empty file holds no block to decrypt, and a longer one would reach
    // the decryption as a wrapped 16-bit length.
    if (size == 0 || (size != INVALID_FILE_SIZE && size > kLicenseMaxSize)) {
        _lclose(file);
        return Refuse(params, size == 0 ? kLicenseEmptyText : kLicenseTooLargeText);
    }
    if (size != INVALID_FILE_SIZE) {
        agreement.textBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 1);
        auto* text = static_cast<uint8_t*>(
            agreement.textBlock != nullptr ? GlobalLock(agreement.textBlock) : nullptr);
        if (text == nullptr) {
            if (agreement.textBlock != nullptr) {
                GlobalFree(agreement.textBlock);
            }
            _lclose(file);
            return Refuse(params, kLicenseNoMemoryText);
        }
        if (_lread(file, text, size) == size) {
            text[size] = 0;
        }
    }
    _lclose(file);

    agreement.beta = lstrcmpiA(params->paramText, "TRUE") == 0 ? 1 : 0;
    if (agreement.textBlock != nullptr) {
        GlobalUnlock(agreement.textBlock);
    }

    const INT_PTR ended =
        DialogBoxParamA(moduleInstance, "AGREEMENT", nullptr, CovenixAgreementDlgProc,
                        reinterpret_cast<LPARAM>(&agreement));
    // Only an explicit acceptance counts; a dialog that could not be created (-1) is not one.
    const int result = ended == 1 ? 1 : 0;
    Report(params, result);
    if (agreement.textBlock != nullptr) {
        GlobalFree(agreement.textBlock);
    }
    return result;
}
