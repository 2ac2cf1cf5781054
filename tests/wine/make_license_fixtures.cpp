// Writes the LICENSE.DAT files of the end-to-end runs into a folder, with the same packing
// function the licence tool uses: good files of several sizes, and the broken ones a setup
// program may meet (sizes outside the format, random bytes, another key).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cipher/crypt_buffer.h"
#include "tools/licensetool/license_file.h"

namespace {

bool Write(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes) {
    const std::string path = folder + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "make_license_fixtures: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 16);
    }
    return v;
}

std::vector<uint8_t> Pack(const std::string& text) {
    std::vector<uint8_t> file;
    if (EncryptLicenseText(text, file) != LicenseEncryptStatus::kOk) {
        std::fprintf(stderr, "make_license_fixtures: packing failed\n");
    }
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_license_fixtures FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string text =
        "LORVEX TECHNOLOGIES, INC. SOFTWARE LICENSE AGREEMENT\r\n\r\n"
        "1. Grant. You may install and use one copy of the software on one computer.\r\n"
        "2. Caf\xE9 clause: prices are in \x80, not in \xA3.\r\n"
        "3. Warranty. The software is provided as is.\r\n";
    // Encrypted under another key: it decrypts, but to something that is not the text.
    std::vector<uint8_t> otherKey(LicensePaddedSize(text.size()), 0);
    std::copy(text.begin(), text.end(), otherKey.begin());
    const uint8_t wrongKey[7] = {'7', '6', '5', '4', '3', '2', '1'};
    CryptBuffer(1, otherKey.data(), static_cast<int16_t>(otherKey.size()), wrongKey, 7);

    bool ok = Write(folder, "good.dat", Pack(text)) &&
              Write(folder, "full_32760.dat", Pack(std::string(32760, 'x'))) &&
              Write(folder, "zero_tail.dat", Pack(std::string("Shown text.\r\n\0hidden", 21))) &&
              Write(folder, "wrong_key.dat", otherKey) && Write(folder, "empty.dat", {}) &&
              Write(folder, "size_1.dat", Random(1, 1)) &&
              Write(folder, "size_7.dat", Random(7, 7)) &&
              Write(folder, "size_8_random.dat", Random(8, 8)) &&
              Write(folder, "size_12.dat", Random(12, 12)) &&
              Write(folder, "size_32761.dat", Random(32761, 3)) &&
              Write(folder, "size_32768.dat", Random(32768, 4)) &&
              Write(folder, "size_40000.dat", Random(40000, 5)) &&
              Write(folder, "size_65544.dat", Random(65544, 6)) &&
              Write(folder, "random_4096.dat", Random(4096, 9));
    return ok ? 0 : 1;
}
