// Making LICENSE.DAT: the agreement text (Windows-1252, CR LF line ends) padded with zero bytes
// to whole 8-byte blocks and encrypted in place under the agreement key, exactly as the dialog
// decrypts it. The licence tool, the native dialog tests and the Wine tests all make their
// files with this one function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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

// ---------------------------------------------------------------------------------------------
// Windows-1252

inline constexpr char32_t kNoCodePoint = 0xFFFFFFFF;

// The code page's characters for the bytes 0x80..0x9F; 0 marks the five bytes it leaves
// undefined. Every other byte is the code point of the same number.
inline constexpr char16_t kWindows1252Bytes80To9F[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88..8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98..9F
};

// The character of a Windows-1252 byte, or kNoCodePoint for an undefined byte.
constexpr char32_t Windows1252ToCodePoint(uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0) {
        return byte;
    }
    const char16_t c = kWindows1252Bytes80To9F[byte - 0x80];
    return c == 0 ? kNoCodePoint : c;
}

// The Windows-1252 byte of a character, or -1 when the code page has none.
constexpr int CodePointToWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    for (int i = 0; i < 32; ++i) {
        if (kWindows1252Bytes80To9F[i] != 0 && kWindows1252Bytes80To9F[i] == c) {
            return 0x80 + i;
        }
    }
    return -1;
}

// Windows-1252 text as UTF-8; an undefined byte becomes U+FFFD.
std::string Windows1252ToUtf8(std::string_view ansi);

// ---------------------------------------------------------------------------------------------
// From an agreement text as written by its author to the bytes EncryptLicenseText takes

enum class LicenseInputEncoding { kUtf8, kWindows1252 };

enum class LicenseTextStatus {
    kOk,
    kMalformedUtf8,     // at line:column
    kUnrepresentable,   // codePoint (or, in Windows-1252 input, an undefined byte) at line:column
    kControlCharacter,  // codePoint at line:column: neither text, tab nor line end
    kZeroByte,          // at line:column: the dialog would stop showing there
    kEmpty,             // nothing left (a UTF-8 byte order mark alone is empty)
    kTooLarge,          // ansiText is overshoot bytes above kLicenseFileMaxSize
};

struct LicenseTextResult {
    LicenseTextStatus status = LicenseTextStatus::kOk;
    std::string ansiText;  // the converted text (complete for kOk and kTooLarge)
    size_t line = 0;       // 1-based, in the input; each LF, CR LF or lone CR ends a line
    size_t column = 0;     // 1-based, in characters of the input
    char32_t codePoint = kNoCodePoint;  // the refused character, where there is one
    int undefinedByte = -1;             // the refused byte: undefined in Windows-1252, or bad UTF-8
    size_t overshoot = 0;               // for kTooLarge
};

// Turns every line end into CR LF, drops a leading UTF-8 byte order mark (UTF-8 input only) and
// converts to Windows-1252. The result holds only what check accepts: printable characters,
// tabs and CR LF pairs, at least one byte and at most kLicenseFileMaxSize bytes.
LicenseTextResult PrepareLicenseText(std::string_view input, LicenseInputEncoding encoding);

// One line saying what was refused and where ("3:14: ..."), without a file name.
std::string DescribeTextProblem(const LicenseTextResult& result);

// ---------------------------------------------------------------------------------------------
// Reading LICENSE.DAT back

enum class LicenseCheckStatus {
    kOk,
    kSizeNotBlocks,   // not a whole number of 8-byte blocks (truncated, or not a LICENSE.DAT)
    kTooSmall,        // no block at all
    kTooLarge,        // above kLicenseFileMaxSize
    kCipherFailure,   // the cipher service refused (it should never)
    kNotText,         // a byte at offset that is no printable Windows-1252 character
    kLoneLineEnd,     // a CR or LF at offset that is not part of a CR LF pair
    kPaddingNotZero,  // a non-zero byte at offset after the text's end
    kEmptyText,       // the plaintext is all zero
};

struct LicenseCheckResult {
    LicenseCheckStatus status = LicenseCheckStatus::kOk;
    size_t fileSize = 0;
    size_t offset = 0;     // of the first offending byte
    uint8_t byte = 0;      // its value (after decryption)
    size_t textBytes = 0;  // up to the first zero byte: what the dialog shows
    size_t lines = 0;      // CR LF pairs, plus one for a last line without one
};

// The size verdict alone: kOk, kSizeNotBlocks, kTooSmall or kTooLarge.
LicenseCheckStatus CheckLicenseFileSize(size_t size);

// Decrypts file in place as the dialog does (size checked first); kOk or a size verdict or
// kCipherFailure.
LicenseCheckStatus DecryptLicenseFile(std::vector<uint8_t>& file);

// Decrypts a copy of file and judges what the dialog would make of it.
LicenseCheckResult CheckLicenseFile(const std::vector<uint8_t>& file);

// One line saying what is wrong ("size 13 bytes is not a multiple of 8 ..."), or for kOk the
// summary of size, text bytes and lines.
std::string DescribeCheckResult(const LicenseCheckResult& result);

// The text the dialog shows from a decrypted file: everything before the first zero byte.
std::string ShownLicenseText(const std::vector<uint8_t>& plain);
