#include "tools/licensetool/license_file.h"

#include <cstdio>

#include "cipher/crypt_buffer.h"
#include "host/agreement_key.h"

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
    // The same key text DecryptWithNumberKey makes: "%07lu", seven characters.
    char keyText[16];
    std::snprintf(keyText, sizeof keyText, "%07lu",
                  static_cast<unsigned long>(kAgreementKeyNumber));
    if (CryptBuffer(1, bytes.data(), static_cast<int16_t>(padded),
                    reinterpret_cast<const uint8_t*>(keyText), 7) != kCryptBufferOk) {
        return LicenseEncryptStatus::kCipherFailure;
    }
    file = std::move(bytes);
    return LicenseEncryptStatus::kOk;
}
