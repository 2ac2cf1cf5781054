// The licence tool: preparing texts, checking and showing LICENSE.DAT files, and the program
// itself (exit codes, atomic writes).
#include "tools/licensetool/license_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cipher/crypt_buffer.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr auto kUtf8 = LicenseInputEncoding::kUtf8;
constexpr auto kAnsi = LicenseInputEncoding::kWindows1252;

Bytes Packed(const std::string& ansi) {
    Bytes file;
    EXPECT_EQ(EncryptLicenseText(ansi, file), LicenseEncryptStatus::kOk);
    return file;
}

Bytes Decrypted(Bytes file) {
    EXPECT_EQ(DecryptLicenseFile(file), LicenseCheckStatus::kOk);
    return file;
}

std::string Repeat(const std::string& piece, size_t times) {
    std::string s;
    for (size_t i = 0; i < times; ++i) {
        s += piece;
    }
    return s;
}

// ---------------------------------------------------------------------------------------------
// Windows-1252

TEST(Windows1252, MapsTheCodePage) {
    const std::pair<uint8_t, char32_t> anchors[] = {
        {0x41, U'A'},   {0x80, 0x20AC}, {0x85, 0x2026}, {0x8A, 0x0160},
        {0x8C, 0x0152}, {0x92, 0x2019}, {0x99, 0x2122}, {0x9F, 0x0178},
        {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF},
    };
    for (const auto& [byte, c] : anchors) {
        EXPECT_EQ(Windows1252ToCodePoint(byte), c) << std::hex << int{byte};
    }
    std::set<int> undefined;
    for (int b = 0; b < 256; ++b) {
        const char32_t c = Windows1252ToCodePoint(static_cast<uint8_t>(b));
        if (c == kNoCodePoint) {
            undefined.insert(b);
        } else {
            EXPECT_EQ(CodePointToWindows1252(c), b) << std::hex << b;
        }
    }
    EXPECT_EQ(undefined, (std::set<int>{0x81, 0x8D, 0x8F, 0x90, 0x9D}));
    for (char32_t c : {char32_t{0x81}, char32_t{0x9D}, char32_t{0x100}, char32_t{0x20AD},
                       char32_t{0xFFFD}, char32_t{0x1F600}}) {
        EXPECT_EQ(CodePointToWindows1252(c), -1) << std::hex << c;
    }
    static_assert(CodePointToWindows1252(0x20AC) == 0x80, "usable at compile time");
}

TEST(Windows1252, ConvertsToUtf8) {
    EXPECT_EQ(Windows1252ToUtf8("caf\xE9 \x80 \x99\r\n\x81"), "caf\u00e9 \u20ac \u2122\r\n\ufffd");
}

// ---------------------------------------------------------------------------------------------
// Preparing a text: what pack refuses

struct Refusal {
    const char* name;
    std::string input;
    LicenseInputEncoding encoding;
    LicenseTextStatus status;
    size_t line, column;
    const char* message;  // part of DescribeTextProblem's line
};

TEST(PrepareLicenseText, RefusesWithLineAndColumn) {
    using S = LicenseTextStatus;
    const Refusal cases[] = {
        {"stray continuation", "ab\ncd\x80", kUtf8, S::kMalformedUtf8, 2, 3, "2:3: malformed"},
        {"truncated at end", "caf\xC3", kUtf8, S::kMalformedUtf8, 1, 4, "byte 0xC3"},
        {"truncated before ascii", "\xE2\x82x", kUtf8, S::kMalformedUtf8, 1, 1, "UTF-8"},
        {"overlong slash", "\xC0\xAF", kUtf8, S::kMalformedUtf8, 1, 1, "UTF-8"},
        {"overlong three bytes", "\xE0\x80\xAF", kUtf8, S::kMalformedUtf8, 1, 1, "UTF-8"},
        {"surrogate", "a\xED\xA0\x80", kUtf8, S::kMalformedUtf8, 1, 2, "UTF-8"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", kUtf8, S::kMalformedUtf8, 1, 1, "UTF-8"},
        {"byte FF", "\xFF", kUtf8, S::kMalformedUtf8, 1, 1, "UTF-8"},
        // Columns count characters, not bytes; CR LF, LF and a lone CR each end one line.
        {"check mark", "\u00e9\u00e9 \u2713", kUtf8, S::kUnrepresentable, 1, 4,
         "1:4: character U+2713 cannot be written in Windows-1252"},
        {"after CR LF, CR and LF", "a\r\nb\rc\nd\U0001F600", kUtf8, S::kUnrepresentable, 4, 2,
         "U+1F600"},
        {"byte order mark inside", "a\xEF\xBB\xBF", kUtf8, S::kUnrepresentable, 1, 2, "U+FEFF"},
        {"undefined 1252 byte", "ok\r\nx\x8D", kAnsi, S::kUnrepresentable, 2, 2,
         "2:2: byte 0x8D is not a character in Windows-1252"},
        {"C1 control", "a\xC2\x85", kUtf8, S::kControlCharacter, 1, 2, "U+0085"},
        {"form feed", "\x0C", kUtf8, S::kControlCharacter, 1, 1, "control character U+000C"},
        {"delete", "ab\x7F", kAnsi, S::kControlCharacter, 1, 3, "U+007F"},
        {"zero byte", std::string("ab\0c", 4), kUtf8, S::kZeroByte, 1, 3, "1:3: zero byte"},
        {"zero byte ansi", std::string("\r\n\0", 3), kAnsi, S::kZeroByte, 2, 1, "zero byte"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        const LicenseTextResult r = PrepareLicenseText(c.input, c.encoding);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.line, c.line);
        EXPECT_EQ(r.column, c.column);
        EXPECT_NE(DescribeTextProblem(r).find(c.message), std::string::npos)
            << DescribeTextProblem(r);
    }
}

TEST(PrepareLicenseText, RefusesEmptyAndTooLargeTexts) {
    using S = LicenseTextStatus;
    struct Case {
        const char* name;
        std::string input;
        LicenseInputEncoding encoding;
        S status;
        size_t overshoot;
    };
    const Case cases[] = {
        {"empty", "", kUtf8, S::kEmpty, 0},
        {"empty ansi", "", kAnsi, S::kEmpty, 0},
        {"byte order mark alone", "\xEF\xBB\xBF", kUtf8, S::kEmpty, 0},
        {"one byte over", std::string(32761, 'a'), kUtf8, S::kTooLarge, 1},
        {"accented, one over", Repeat("\u00e9", 32761), kUtf8, S::kTooLarge, 1},
        // 32760 bytes as written, 43680 once every LF is CR LF.
        {"line ends count", Repeat("ab\n", 10920), kUtf8, S::kTooLarge, 10920},
        {"ansi, nine over", std::string(32769, '\xE9'), kAnsi, S::kTooLarge, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LicenseTextResult r = PrepareLicenseText(c.input, c.encoding);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.overshoot, c.overshoot);
        if (c.status == S::kTooLarge) {
            const std::string over = std::to_string(c.overshoot) + " byte";
            EXPECT_NE(DescribeTextProblem(r).find(over), std::string::npos)
                << DescribeTextProblem(r);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Accepted texts: conversion, and the round trip through LICENSE.DAT

struct Accepted {
    const char* name;
    std::string input;
    LicenseInputEncoding encoding;
    std::string ansi;  // what pack encrypts
    size_t fileSize, lines;
};

TEST(PrepareLicenseText, PacksAndReadsBackAcceptedTexts) {
    const std::string accented = "Gr\u00f6\u00dfe, caf\u00e9, na\u00efve, \u00c6r\u00f8";
    const Accepted cases[] = {
        {"LF", "a\nb", kUtf8, "a\r\nb", 8, 2},
        {"CR LF", "a\r\nb\r\n", kUtf8, "a\r\nb\r\n", 8, 2},
        {"lone CR", "a\rb", kUtf8, "a\r\nb", 8, 2},
        {"LF CR is two line ends", "a\n\rb", kUtf8, "a\r\n\r\nb", 8, 3},
        {"CR CR LF is two line ends", "a\r\r\nb", kUtf8, "a\r\n\r\nb", 8, 3},
        {"byte order mark dropped", "\xEF\xBB\xBFHi\tthere\n", kUtf8, "Hi\tthere\r\n", 16, 1},
        {"accented", accented, kUtf8,
         "Gr\xF6\xDF"
         "e, caf\xE9, na\xEFve, \xC6r\xF8",
         24, 1},
        {"euro and quotes", "\u20ac 10 \u2018x\u2019 \u2026", kUtf8, "\x80 10 \x91x\x92 \x85", 16,
         1},
        {"ansi input", "caf\xE9\n\x80\r\x9F", kAnsi, "caf\xE9\r\n\x80\r\n\x9F", 16, 3},
        {"ansi keeps a BOM's bytes", "\xEF\xBB\xBFx", kAnsi, "\xEF\xBB\xBFx", 8, 1},
        {"exactly the limit", std::string(32760, 'a'), kUtf8, std::string(32760, 'a'), 32760, 1},
        {"the limit in accented letters", Repeat("\u00e9\u20ac", 16380), kUtf8,
         Repeat("\xE9\x80", 16380), 32760, 1},
        {"the limit in lines", Repeat("abcdef\n", 4095), kUtf8, Repeat("abcdef\r\n", 4095), 32760,
         4095},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.name);
        const LicenseTextResult r = PrepareLicenseText(c.input, c.encoding);
        ASSERT_EQ(r.status, LicenseTextStatus::kOk) << DescribeTextProblem(r);
        EXPECT_EQ(r.ansiText, c.ansi);
        const Bytes file = Packed(r.ansiText);
        const LicenseCheckResult verdict = CheckLicenseFile(file);
        EXPECT_EQ(verdict.status, LicenseCheckStatus::kOk) << DescribeCheckResult(verdict);
        EXPECT_EQ(verdict.fileSize, c.fileSize);
        EXPECT_EQ(verdict.textBytes, c.ansi.size());
        EXPECT_EQ(verdict.lines, c.lines);
        const std::string shown = ShownLicenseText(Decrypted(file));
        EXPECT_EQ(shown, c.ansi);
        // UTF-8 input comes back as written but for the line ends and a leading BOM.
        if (c.encoding == kUtf8) {
            const auto again = PrepareLicenseText(Windows1252ToUtf8(shown), kUtf8);
            EXPECT_EQ(again.ansiText, c.ansi);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Check verdicts

Bytes UnderKey(std::string plain, const char* key) {
    plain.resize(LicensePaddedSize(plain.size()), '\0');
    Bytes file(plain.begin(), plain.end());
    EXPECT_EQ(CryptBuffer(1, file.data(), static_cast<int16_t>(file.size()),
                          reinterpret_cast<const uint8_t*>(key), 7),
              kCryptBufferOk);
    return file;
}

Bytes RandomBytes(size_t n) {
    std::mt19937 generator(20240611);  // fixed: the same bytes on every run
    Bytes bytes(n);
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(generator());
    }
    return bytes;
}

const std::string kText = "Licence agreement\r\nSecond line.\r\n";  // 33 bytes

TEST(CheckLicenseFile, GivesOneVerdictPerProblem) {
    using S = LicenseCheckStatus;
    struct Case {
        const char* name;
        std::function<Bytes()> make;
        S status;
        const char* message;
        size_t firstOffset, lastOffset;  // where the offending byte may be
    };
    const Case cases[] = {
        {"good", [] { return Packed(kText); }, S::kOk, "ok: 40 bytes, 33 text bytes, 2 lines", 0,
         0},
        {"last line without line end", [] { return Packed("a\r\nb"); }, S::kOk,
         "8 bytes, 4 text bytes, 2 lines", 0, 0},
        {"whole zero block after the text",
         [] { return Packed(std::string("Hi", 2) + std::string(8, '\0')); }, S::kOk,
         "16 bytes, 2 text bytes, 1 line", 0, 0},
        {"another key", [] { return UnderKey(kText, "7654321"); }, S::kNotText,
         "does not decrypt to text: encrypted under another key or damaged", 0, 39},
        {"random bytes", [] { return RandomBytes(64); }, S::kNotText, "does not decrypt to text", 0,
         63},
        {"damaged second block",
         [] {
             Bytes f = Packed(kText);
             f[10] ^= 0x01;
             return f;
         },
         S::kNotText, "does not decrypt to text", 8, 15},
        {"truncated",
         [] {
             Bytes f = Packed(kText);
             f.resize(f.size() - 3);
             return f;
         },
         S::kSizeNotBlocks, "size 37 bytes is not a multiple of 8", 0, 0},
        {"no bytes", [] { return Bytes(); }, S::kTooSmall, "size 0 bytes", 0, 0},
        {"too big", [] { return Bytes(32768, 0x55); }, S::kTooLarge,
         "size 32768 bytes is 8 bytes over the limit of 32760", 0, 0},
        {"non-zero padding", [] { return Packed(std::string("Hello\0\x01", 7)); },
         S::kPaddingNotZero, "padding not all zero: byte 0x01 at offset 6", 6, 6},
        {"empty", [] { return Packed(std::string(16, '\0')); }, S::kEmptyText, "empty", 0, 0},
        {"lone LF", [] { return Packed("a\nb"); }, S::kLoneLineEnd, "lone LF at offset 1", 1, 1},
        {"lone CR at the end", [] { return Packed("abc\r"); }, S::kLoneLineEnd,
         "lone CR at offset 3", 3, 3},
        {"control character", [] { return Packed("ab\x01"); }, S::kNotText, "byte 0x01", 2, 2},
        {"undefined byte", [] { return Packed("ab\x90"); }, S::kNotText, "byte 0x90", 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LicenseCheckResult r = CheckLicenseFile(c.make());
        const std::string line = DescribeCheckResult(r);
        EXPECT_EQ(r.status, c.status) << line;
        EXPECT_NE(line.find(c.message), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
        EXPECT_GE(r.offset, c.firstOffset);
        EXPECT_LE(r.offset, c.lastOffset);
    }
}

// ---------------------------------------------------------------------------------------------
// The program

class TempDir {
  public:
    TempDir() {
        std::random_device device;
        for (;;) {
            path_ = fs::temp_directory_path() /
                    ("licensetool_test-" + std::to_string(device()) + std::to_string(device()));
            if (fs::create_directory(path_)) {
                break;
            }
        }
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

struct ToolRun {
    int status;
    std::string out, err;
};

class LicensetoolProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        work_ = temp_.path() / "work";
        fs::create_directory(work_);
    }

    fs::path In(const char* name) const { return work_ / name; }

    // Runs the tool in the work folder; prefix is shell text run before it (limits, traps).
    ToolRun Tool(const std::vector<std::string>& args, const std::string& prefix = "") {
        std::string command =
            "cd " + Quoted(work_.string()) + " && " + prefix + " exec " + Quoted(LICENSETOOL_PATH);
        for (const auto& a : args) {
            command += " " + Quoted(a);
        }
        const fs::path out = temp_.path() / "stdout";
        const fs::path err = temp_.path() / "stderr";
        command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
        const int raw = std::system(("sh -c " + Quoted(command)).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
    }

    // The work folder's entries: a leftover temporary file shows up here.
    std::set<std::string> Listing() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(work_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    TempDir temp_;
    fs::path work_;
};

TEST_F(LicensetoolProgram, ExitsZeroOneOrTwo) {
    WriteFile(In("good.txt"), "Agreement\n");
    WriteFile(In("bad.txt"), "Agreement \xE2\x9C\x93\n");
    const Bytes wrongKey = UnderKey(kText, "7654321");
    WriteFile(In("wrongkey.dat"), std::string(wrongKey.begin(), wrongKey.end()));
    WriteFile(In("short.dat"), "1234567");
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* out;  // part of stdout
        const char* err;  // part of stderr
    };
    const Case cases[] = {
        {{"--help"}, 0, "usage: licensetool pack", ""},
        {{"--version"}, 0, "licensetool 1.0.0", ""},
        {{"pack", "good.txt", "good.dat"}, 0, "good.dat: ok: 16 bytes, 11 text bytes, 1 line", ""},
        {{"check", "good.dat"}, 0, "good.dat: ok: 16 bytes", ""},
        {{"show", "good.dat"}, 0, "Agreement\r\n", ""},
        {{"pack", "bad.txt", "bad.dat"}, 1, "", "bad.txt:1:11: character U+2713"},
        {{"pack", "missing.txt", "x.dat"}, 1, "", "missing.txt: cannot open"},
        {{"check", "wrongkey.dat"}, 1, "", "wrongkey.dat: does not decrypt to text"},
        {{"check", "short.dat"}, 1, "", "size 7 bytes is not a multiple of 8"},
        {{"show", "short.dat"}, 1, "", "size 7 bytes is not a multiple of 8"},
        {{}, 2, "", "usage:"},
        {{"frobnicate", "x"}, 2, "", "unknown command 'frobnicate'"},
        {{"pack", "--bogus", "good.txt", "x.dat"}, 2, "", "unknown option '--bogus'"},
        {{"check", "--ansi", "good.dat"}, 2, "", "unknown option '--ansi' for check"},
        {{"pack", "good.txt"}, 2, "", "pack takes AGREEMENT.txt and LICENSE.DAT, got 1"},
        {{"check"}, 2, "", "got 0"},
        {{"show", "good.dat", "good.dat"}, 2, "", "got 2"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) {
            joined += a + " ";
        }
        SCOPED_TRACE(joined);
        const ToolRun r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    EXPECT_EQ(Listing(), (std::set<std::string>{"good.txt", "bad.txt", "wrongkey.dat", "short.dat",
                                                "good.dat"}));
}

TEST_F(LicensetoolProgram, PackThenShowGivesTheTextBack) {
    const std::string text = "Gr\u00f6\u00dfe \u20ac 5\nna\u00efve\r\n\tend";
    WriteFile(In("a.txt"), text);
    ASSERT_EQ(Tool({"pack", "a.txt", "a.dat"}).status, 0);
    EXPECT_EQ(Tool({"show", "a.dat"}).out, "Gr\u00f6\u00dfe \u20ac 5\r\nna\u00efve\r\n\tend");
    WriteFile(In("a.ansi"), "caf\xE9 \x80\n");
    ASSERT_EQ(Tool({"pack", "--ansi", "a.ansi", "b.dat"}).status, 0);
    EXPECT_EQ(Tool({"show", "b.dat"}).out, "caf\u00e9 \u20ac\r\n");

    WriteFile(In("limit.txt"), std::string(32760, 'x'));
    const ToolRun limit = Tool({"pack", "limit.txt", "limit.dat"});
    EXPECT_EQ(limit.status, 0) << limit.err;
    EXPECT_EQ(fs::file_size(In("limit.dat")), 32760u);
    EXPECT_EQ(Tool({"show", "limit.dat"}).out, std::string(32760, 'x'));

    WriteFile(In("over.txt"), std::string(32761, 'x'));
    const ToolRun over = Tool({"pack", "over.txt", "over.dat"});
    EXPECT_EQ(over.status, 1);
    EXPECT_NE(over.err.find("1 byte over the limit of 32760"), std::string::npos) << over.err;
    EXPECT_FALSE(fs::exists(In("over.dat")));
}

TEST_F(LicensetoolProgram, FailedPackLeavesTheOldFileAndNoTemporary) {
    WriteFile(In("old.txt"), "The old agreement\n");
    ASSERT_EQ(Tool({"pack", "old.txt", "LICENSE.DAT"}).status, 0);
    const std::string old = ReadFile(In("LICENSE.DAT"));
    WriteFile(In("bad.txt"), "new\n\xC3");
    WriteFile(In("big.txt"), std::string(4000, 'n'));
    fs::create_directories(In("folder.dat") / "inside");
    const std::set<std::string> before = Listing();

    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string prefix;
        const char* err;
    };
    const Case cases[] = {
        {"refused text", {"pack", "bad.txt", "LICENSE.DAT"}, "", "bad.txt:2:1: malformed"},
        // The write itself fails: files may grow to 512 bytes at most, and the signal that
        // would end the process is ignored so that the write returns the error.
        {"write fails",
         {"pack", "big.txt", "LICENSE.DAT"},
         "trap '' XFSZ; ulimit -f 1;",
         "cannot write"},
        // The rename fails: a folder stands where the file should go.
        {"rename fails", {"pack", "big.txt", "folder.dat"}, "", "folder.dat: cannot replace"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun r = Tool(c.args, c.prefix);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(In("LICENSE.DAT")), old);
        EXPECT_EQ(Listing(), before);
        EXPECT_TRUE(fs::is_directory(In("folder.dat") / "inside"));
    }
    // And a pack that succeeds replaces the file, leaving nothing else behind.
    ASSERT_EQ(Tool({"pack", "big.txt", "LICENSE.DAT"}).status, 0);
    EXPECT_EQ(fs::file_size(In("LICENSE.DAT")), 4000u);
    EXPECT_EQ(Listing(), before);
}

}  // namespace
