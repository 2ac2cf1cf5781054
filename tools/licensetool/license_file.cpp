#include "tools/licensetool/license_file.h"

#include <algorithm>
#include <cstdio>

#include "cipher/crypt_buffer.h"
#include "host/agreement_key.h"

namespace {

// The same key text DecryptWithNumberKey makes: "%07lu", seven characters.
constexpr int16_t kKeyTextLength = 7;

void MakeKeyText(char (&keyText)[16]) {
    std::snprintf(keyText, sizeof keyText, "%07lu",
                  static_cast<unsigned long>(kAgreementKeyNumber));
}

}  // namespace

LicenseEncryptStatus EncryptLicenseText(const std::string& ansiText, std::vector<uint8_t>& file) {
    if (ansiText.empty()) {
        return LicenseEncryptStatus::kEmpty;
    }
    const size_t padded = LicensePaddedSize(ansiText.size());
    if (padded > kLicenseFileMaxSize) {
        return LicenseEncryptStatus::kTooLarge;
    }
    std::vector<uint8_t> bytes(padded, 0);
    std::copy(ansiText.begin(), ansiText.end(), bytes.begin());
    char keyText[16];
    MakeKeyText(keyText);
    if (CryptBuffer(1, bytes.data(), static_cast<int16_t>(padded),
                    reinterpret_cast<const uint8_t*>(keyText), kKeyTextLength) != kCryptBufferOk) {
        return LicenseEncryptStatus::kCipherFailure;
    }
    file = std::move(bytes);
    return LicenseEncryptStatus::kOk;
}

// ---------------------------------------------------------------------------------------------
// Windows-1252 and UTF-8

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one character at in[pos]; returns its length in bytes, or 0 for malformed UTF-8
// (stray or missing continuation bytes, overlong forms, surrogates, beyond U+10FFFF).
size_t DecodeUtf8(std::string_view in, size_t pos, char32_t& c) {
    const auto lead = static_cast<uint8_t>(in[pos]);
    size_t length;
    char32_t smallest;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        smallest = 0x80;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        smallest = 0x800;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        smallest = 0x10000;
        c = lead & 0x07;
    } else {
        return 0;  // a continuation byte, an overlong two-byte lead, or no lead at all
    }
    if (in.size() - pos < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(in[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

std::string Hex(unsigned value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*X", digits, value);
    return buffer;
}

std::string Bytes(size_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string CodePointName(char32_t c) {
    return "U+" + Hex(static_cast<unsigned>(c), 4);
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 4);
    for (char byte : ansi) {
        const char32_t c = Windows1252ToCodePoint(static_cast<uint8_t>(byte));
        AppendUtf8(out, c == kNoCodePoint ? char32_t{0xFFFD} : c);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Preparing the text

LicenseTextResult PrepareLicenseText(std::string_view input, LicenseInputEncoding encoding) {
    LicenseTextResult result;
    const bool utf8 = encoding == LicenseInputEncoding::kUtf8;
    size_t pos = 0;
    if (utf8 && input.substr(0, 3) == "\xEF\xBB\xBF") {
        pos = 3;
    }
    std::string& out = result.ansiText;
    out.reserve(input.size() + input.size() / 16);
    size_t line = 1;
    size_t column = 1;
    auto refuse = [&](LicenseTextStatus status) {
        result.status = status;
        result.line = line;
        result.column = column;
        return result;
    };
    while (pos < input.size()) {
        char32_t c;
        size_t length = 1;
        if (utf8) {
            length = DecodeUtf8(input, pos, c);
            if (length == 0) {
                result.undefinedByte = static_cast<uint8_t>(input[pos]);
                return refuse(LicenseTextStatus::kMalformedUtf8);
            }
        } else {
            const auto byte = static_cast<uint8_t>(input[pos]);
            c = Windows1252ToCodePoint(byte);
            if (c == kNoCodePoint) {
                result.undefinedByte = byte;
                return refuse(LicenseTextStatus::kUnrepresentable);
            }
        }
        pos += length;
        if (c == '\r' || c == '\n') {
            // CR LF is one line end; a lone CR or LF is one too. All become CR LF.
            if (c == '\r' && pos < input.size() && input[pos] == '\n') {
                ++pos;
            }
            out += "\r\n";
            ++line;
            column = 1;
            continue;
        }
        result.codePoint = c;
        if (c == 0) {
            return refuse(LicenseTextStatus::kZeroByte);
        }
        if (c != '\t' && IsControl(c)) {
            return refuse(LicenseTextStatus::kControlCharacter);
        }
        const int byte = CodePointToWindows1252(c);
        if (byte < 0) {
            return refuse(LicenseTextStatus::kUnrepresentable);
        }
        out += static_cast<char>(byte);
        ++column;
    }
    result.codePoint = kNoCodePoint;
    if (out.empty()) {
        result.status = LicenseTextStatus::kEmpty;
    } else if (out.size() > kLicenseFileMaxSize) {
        result.status = LicenseTextStatus::kTooLarge;
        result.overshoot = out.size() - kLicenseFileMaxSize;
    }
    return result;
}

std::string DescribeTextProblem(const LicenseTextResult& r) {
    const std::string where = std::to_string(r.line) + ":" + std::to_string(r.column) + ": ";
    switch (r.status) {
        case LicenseTextStatus::kOk:
            return "ok";
        case LicenseTextStatus::kMalformedUtf8:
            return where + "malformed UTF-8 (byte 0x" +
                   Hex(static_cast<unsigned>(r.undefinedByte), 2) +
                   "); for a Windows-1252 text use --ansi";
        case LicenseTextStatus::kUnrepresentable:
            if (r.undefinedByte >= 0) {
                return where + "byte 0x" + Hex(static_cast<unsigned>(r.undefinedByte), 2) +
                       " is not a character in Windows-1252";
            }
            return where + "character " + CodePointName(r.codePoint) +
                   " cannot be written in Windows-1252";
        case LicenseTextStatus::kControlCharacter:
            return where + "control character " + CodePointName(r.codePoint) +
                   " cannot be shown in the dialog";
        case LicenseTextStatus::kZeroByte:
            return where + "zero byte inside the text (the dialog would stop showing there)";
        case LicenseTextStatus::kEmpty:
            return "the text is empty";
        case LicenseTextStatus::kTooLarge:
            return "the text is " + Bytes(r.ansiText.size()) +
                   " in Windows-1252 with CR LF line ends, " + Bytes(r.overshoot) +
                   " over the limit of " + std::to_string(kLicenseFileMaxSize);
    }
    return "unknown problem";
}

// ---------------------------------------------------------------------------------------------
// Reading LICENSE.DAT back

LicenseCheckStatus CheckLicenseFileSize(size_t size) {
    if (size == 0) {
        return LicenseCheckStatus::kTooSmall;
    }
    if (size % 8 != 0) {
        return LicenseCheckStatus::kSizeNotBlocks;
    }
    if (size > kLicenseFileMaxSize) {
        return LicenseCheckStatus::kTooLarge;
    }
    return LicenseCheckStatus::kOk;
}

LicenseCheckStatus DecryptLicenseFile(std::vector<uint8_t>& file) {
    const LicenseCheckStatus size = CheckLicenseFileSize(file.size());
    if (size != LicenseCheckStatus::kOk) {
        return size;
    }
    // CryptBuffer itself, not DecryptWithNumberKey: a tool must not open message boxes.
    char keyText[16];
    MakeKeyText(keyText);
    if (CryptBuffer(0, file.data(), static_cast<int16_t>(file.size()),
                    reinterpret_cast<const uint8_t*>(keyText), kKeyTextLength) != kCryptBufferOk) {
        return LicenseCheckStatus::kCipherFailure;
    }
    return LicenseCheckStatus::kOk;
}

LicenseCheckResult CheckLicenseFile(const std::vector<uint8_t>& file) {
    LicenseCheckResult result;
    result.fileSize = file.size();
    std::vector<uint8_t> plain = file;
    result.status = DecryptLicenseFile(plain);
    if (result.status != LicenseCheckStatus::kOk) {
        return result;
    }
    const auto end = std::find(plain.begin(), plain.end(), uint8_t{0});
    result.textBytes = static_cast<size_t>(end - plain.begin());
    auto fail = [&](LicenseCheckStatus status, size_t offset) {
        result.status = status;
        result.offset = offset;
        result.byte = plain[offset];
        return result;
    };
    // Bytes that are no text at all speak of a wrong key or damage, so they are looked for
    // through the whole text before the line ends are judged.
    for (size_t i = 0; i < result.textBytes; ++i) {
        const uint8_t b = plain[i];
        if (b == '\r' || b == '\n' || b == '\t') {
            continue;
        }
        const char32_t c = Windows1252ToCodePoint(b);
        if (c == kNoCodePoint || IsControl(c)) {
            return fail(LicenseCheckStatus::kNotText, i);
        }
    }
    size_t lines = 0;
    for (size_t i = 0; i < result.textBytes; ++i) {
        if (plain[i] == '\r') {
            if (i + 1 == result.textBytes || plain[i + 1] != '\n') {
                return fail(LicenseCheckStatus::kLoneLineEnd, i);
            }
            ++lines;
            ++i;
        } else if (plain[i] == '\n') {
            return fail(LicenseCheckStatus::kLoneLineEnd, i);
        }
    }
    const auto stray = std::find_if(end, plain.end(), [](uint8_t b) { return b != 0; });
    if (stray != plain.end()) {
        return fail(LicenseCheckStatus::kPaddingNotZero,
                    static_cast<size_t>(stray - plain.begin()));
    }
    if (result.textBytes == 0) {
        result.status = LicenseCheckStatus::kEmptyText;
        return result;
    }
    const bool endsWithLineEnd =
        result.textBytes >= 2 && plain[result.textBytes - 2] == '\r';  // CR can only be in CR LF
    result.lines = lines + (endsWithLineEnd ? 0 : 1);
    return result;
}

std::string DescribeCheckResult(const LicenseCheckResult& r) {
    const std::string size = std::to_string(r.fileSize);
    const std::string at = " at offset " + std::to_string(r.offset);
    const std::string byte = "byte 0x" + Hex(r.byte, 2);
    switch (r.status) {
        case LicenseCheckStatus::kOk:
            return "ok: " + size + " bytes, " + std::to_string(r.textBytes) + " text bytes, " +
                   std::to_string(r.lines) + (r.lines == 1 ? " line" : " lines");
        case LicenseCheckStatus::kSizeNotBlocks:
            return "size " + size +
                   " bytes is not a multiple of 8: truncated, or not a LICENSE.DAT";
        case LicenseCheckStatus::kTooSmall:
            return "size 0 bytes: a LICENSE.DAT holds at least one 8-byte block";
        case LicenseCheckStatus::kTooLarge:
            return "size " + size + " bytes is " + Bytes(r.fileSize - kLicenseFileMaxSize) +
                   " over the limit of " + std::to_string(kLicenseFileMaxSize);
        case LicenseCheckStatus::kCipherFailure:
            return "the cipher service failed to decrypt the file";
        case LicenseCheckStatus::kNotText:
            return "does not decrypt to text: encrypted under another key or damaged (" + byte +
                   at + ")";
        case LicenseCheckStatus::kLoneLineEnd:
            return std::string(r.byte == '\r' ? "lone CR" : "lone LF") + at +
                   ": line ends must be CR LF";
        case LicenseCheckStatus::kPaddingNotZero:
            return "padding not all zero: " + byte + at + " after the text ends at offset " +
                   std::to_string(r.textBytes) + " (damaged, or a zero byte inside the text)";
        case LicenseCheckStatus::kEmptyText:
            return "empty: decrypts to zero bytes only, the dialog would show nothing";
    }
    return "unknown problem";
}

std::string ShownLicenseText(const std::vector<uint8_t>& plain) {
    const auto end = std::find(plain.begin(), plain.end(), uint8_t{0});
    return std::string(plain.begin(), end);
}
