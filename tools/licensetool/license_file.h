// Making LICENSE.DAT: the agreement text (Windows-1252, CR LF line ends) padded with zero bytes
// to whole 8-byte blocks and encrypted in place under the agreement key, exactly as the dialog
// decrypts it. The licence tool, the native dialog tests and the Wine tests all make their
// files with this one function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr size_t kLicenseFileMaxSize = 32760;  // the decryption path's 16-bit limit

enum class LicenseEncryptStatus {
    kOk,
    kEmpty,          // no text: nothing the dialog could show
    kTooLarge,       // the padded text is above kLicenseFileMaxSize
    kCipherFailure,  // the cipher service refused (it should never)
};

// Pads ansiText to whole blocks and encrypts it; on success fills file with the bytes of
// LICENSE.DAT. The text may hold zero bytes only if the caller wants them shown as the end.
LicenseEncryptStatus EncryptLicenseText(const std::string& ansiText, std::vector<uint8_t>& file);

// The padded size of a text of n bytes.
inline size_t LicensePaddedSize(size_t n) {
    return (n + 7) / 8 * 8;
}
