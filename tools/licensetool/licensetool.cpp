// licensetool: makes, checks and shows LICENSE.DAT files for the installer's author.
//
//   licensetool pack [--ansi] AGREEMENT.txt LICENSE.DAT
//   licensetool check LICENSE.DAT
//   licensetool show LICENSE.DAT
//
// Standard C++17 only (plus two guarded calls for durable writes and binary stdout), so that
// the same source builds for Linux and, with MinGW, for Windows.

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tools/licensetool/license_file.h"

#ifndef LXAGREE_VERSION
#define LXAGREE_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitProblem = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: licensetool pack [--ansi] AGREEMENT.txt LICENSE.DAT\n"
    "       licensetool check LICENSE.DAT\n"
    "       licensetool show LICENSE.DAT\n"
    "       licensetool --help | --version\n"
    "\n"
    "  pack   converts the agreement text (UTF-8, or Windows-1252 with --ansi) to\n"
    "         Windows-1252 with CR LF line ends and writes it encrypted as LICENSE.DAT\n"
    "  check  tells whether LICENSE.DAT decrypts to a text the dialog can show\n"
    "  show   prints the text the dialog would show, as UTF-8\n"
    "\n"
    "Exit status: 0 success, 1 a problem was found or an input refused, 2 misuse.\n";

void Say(const std::string& message) {
    std::fprintf(stderr, "licensetool: %s\n", message.c_str());
}

int Misuse(const std::string& message) {
    Say(message);
    std::fputs("Try 'licensetool --help'.\n", stderr);
    return kExitUsage;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        Say(path + ": cannot open: " + std::strerror(errno));
        return false;
    }
    bytes.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.append(buffer, n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        Say(path + ": cannot read");
    }
    return !failed;
}

bool FlushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0) {
        return false;
    }
#if defined(_WIN32)
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

fs::path TemporaryBeside(const fs::path& target) {
    std::random_device device;
    std::mt19937_64 mix(
        device() ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08lx.tmp",
                      static_cast<unsigned long>(mix() & 0xFFFFFFFFu));
        fs::path candidate = target;
        candidate += suffix;
        std::error_code ec;
        if (!fs::exists(candidate, ec) && !ec) {
            return candidate;
        }
    }
    return {};
}

// Writes into a new file beside the target and renames it over the target only once every
// byte is on disk, so that LICENSE.DAT is always either the old file or the whole new one.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const fs::path target(path);
    const fs::path temporary = TemporaryBeside(target);
    if (temporary.empty()) {
        Say(path + ": cannot find a free name for a temporary file beside it");
        return false;
    }
    std::FILE* f = std::fopen(temporary.string().c_str(), "wb");
    if (f == nullptr) {
        Say(temporary.string() + ": cannot create: " + std::strerror(errno));
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    written = FlushToDisk(f) && written;
    written = std::fclose(f) == 0 && written;
    std::error_code ec;
    if (!written) {
        Say(temporary.string() + ": cannot write: " + std::strerror(errno));
    } else {
        fs::rename(temporary, target, ec);
        if (ec) {
            Say(path + ": cannot replace: " + ec.message());
        }
    }
    if (!written || ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

int Pack(bool ansi, const std::string& textPath, const std::string& filePath) {
    std::string input;
    if (!ReadWholeFile(textPath, input)) {
        return kExitProblem;
    }
    const LicenseTextResult text = PrepareLicenseText(
        input, ansi ? LicenseInputEncoding::kWindows1252 : LicenseInputEncoding::kUtf8);
    if (text.status != LicenseTextStatus::kOk) {
        const bool located =
            text.status != LicenseTextStatus::kEmpty && text.status != LicenseTextStatus::kTooLarge;
        Say(textPath + (located ? ":" : ": ") + DescribeTextProblem(text));
        return kExitProblem;
    }
    std::vector<uint8_t> file;
    if (EncryptLicenseText(text.ansiText, file) != LicenseEncryptStatus::kOk) {
        Say(textPath + ": the cipher service failed to encrypt the text");
        return kExitProblem;
    }
    // Read back before anything is written: a file check would refuse never leaves the tool.
    const LicenseCheckResult verdict = CheckLicenseFile(file);
    if (verdict.status != LicenseCheckStatus::kOk) {
        Say(textPath + ": the packed file fails its own check: " + DescribeCheckResult(verdict));
        return kExitProblem;
    }
    if (!WriteFileAtomically(filePath, file)) {
        return kExitProblem;
    }
    std::printf("%s: %s\n", filePath.c_str(), DescribeCheckResult(verdict).c_str());
    return kExitOk;
}

bool ReadLicenseFile(const std::string& path, std::vector<uint8_t>& file) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        return false;
    }
    file.assign(bytes.begin(), bytes.end());
    return true;
}

int Check(const std::string& path) {
    std::vector<uint8_t> file;
    if (!ReadLicenseFile(path, file)) {
        return kExitProblem;
    }
    const LicenseCheckResult result = CheckLicenseFile(file);
    if (result.status != LicenseCheckStatus::kOk) {
        Say(path + ": " + DescribeCheckResult(result));
        return kExitProblem;
    }
    std::printf("%s: %s\n", path.c_str(), DescribeCheckResult(result).c_str());
    return kExitOk;
}

int Show(const std::string& path) {
    std::vector<uint8_t> file;
    if (!ReadLicenseFile(path, file)) {
        return kExitProblem;
    }
    const LicenseCheckResult verdict = CheckLicenseFile(file);
    std::vector<uint8_t> plain = file;
    const LicenseCheckStatus decrypted = DecryptLicenseFile(plain);
    if (decrypted != LicenseCheckStatus::kOk) {
        Say(path + ": " + DescribeCheckResult(verdict));
        return kExitProblem;
    }
    if (verdict.status != LicenseCheckStatus::kOk) {
        // Shown all the same: seeing the garbage helps tell a wrong key from a stray byte.
        Say("warning: " + path + ": " + DescribeCheckResult(verdict));
    }
    const std::string text = Windows1252ToUtf8(ShownLicenseText(plain));
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);  // the text's CR LF as they are
#endif
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
        std::fflush(stdout) != 0) {
        Say("cannot write to standard output");
        return kExitProblem;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> operands;
    std::string command;
    bool ansi = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--help" || arg == "-h") {
                std::fputs(kUsage, stdout);
                return kExitOk;
            } else if (arg == "--version") {
                std::printf("licensetool %s\n", LXAGREE_VERSION);
                return kExitOk;
            } else if (arg == "--ansi" && command == "pack") {
                ansi = true;
            } else {
                return Misuse("unknown option '" + arg + "'" +
                              (command.empty() ? "" : " for " + command));
            }
        } else if (command.empty()) {
            command = arg;
            if (command != "pack" && command != "check" && command != "show") {
                return Misuse("unknown command '" + command + "'");
            }
        } else {
            operands.push_back(arg);
        }
    }
    if (command.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const size_t wanted = command == "pack" ? 2 : 1;
    if (operands.size() != wanted) {
        return Misuse(command + " takes " +
                      (wanted == 2 ? "AGREEMENT.txt and LICENSE.DAT" : "one LICENSE.DAT") +
                      ", got " + std::to_string(operands.size()) + " file name" +
                      (operands.size() == 1 ? "" : "s"));
    }
    if (command == "pack") {
        return Pack(ansi, operands[0], operands[1]);
    }
    if (command == "check") {
        return Check(operands[0]);
    }
    return Show(operands[0]);
}
