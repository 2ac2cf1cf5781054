// LxLoadDialog over good and broken LICENSE.DAT files and a failing machine: what the person
// sees, the result, and %DLLRETURN%.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <string>

#include "cipher/crypt_buffer.h"
#include "host/agreement_dialog.h"
#include "resources/resource_ids.h"
#include "tests/support/agreement_fixture.h"

namespace {

class AgreementLoader : public AgreementFixture {};

const HeadlessStep kAccept = [](HWND d) {
    HeadlessClick(d, IDC_ACCEPT);
    HeadlessClick(d, IDC_CONTINUE);
};

// What the person saw of one run: the loader's one message box (or none), and whether the
// dialog was shown.
void ExpectPersonSaw(const std::string& message, bool shown) {
    if (message.empty()) {
        EXPECT_TRUE(HeadlessMessageBoxes().empty());
    } else {
        ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
        EXPECT_EQ(HeadlessMessageBoxes()[0].text, message);
        EXPECT_EQ(HeadlessMessageBoxes()[0].caption, "License Agreement Error");
    }
    EXPECT_EQ(!HeadlessDialogs().empty() && HeadlessDialogs()[0].shown, shown);
}

std::vector<uint8_t> RandomBytes(size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t x = 12345;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return v;
}

TEST_F(AgreementLoader, MissingFileIsReportedOnceAndNoDialogOpens) {
    const AgreementRun run = Run("", {kAccept});
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
    EXPECT_EQ(HeadlessMessageBoxes()[0].text,
              "File LICENSE.DAT not found. License Agreement can not be completed.");
    EXPECT_EQ(HeadlessMessageBoxes()[0].caption, "License Agreement Error");
    EXPECT_EQ(HeadlessMessageBoxes()[0].style, 0x2040u);
    EXPECT_TRUE(HeadlessDialogs().empty());
}

TEST_F(AgreementLoader, FileNameIsFoundWhateverItsLetterCase) {
    WriteLicense("Text.");  // written as LICENSE.DAT, opened as license.dat
    EXPECT_EQ(Run("", {kAccept}).result, 1);
}

// Every file the person could be handed, with the person ready to accept: a file outside the
// format never reaches the dialog, and says why or shows nothing. A file in the format is shown,
// whatever it decrypts to (DES-ECB has no way to tell a wrong key), and the person decides.
TEST_F(AgreementLoader, EveryKindOfFileGetsItsAnswer) {
    const std::string missingText = kLicenseMissingText;
    const std::string decryptText = "License decryption failed.";
    struct Case {
        const char* what;
        std::function<void(AgreementLoader&)> make;
        std::string message;  // "" = no message box
        bool shown;
        int result;
    };
    std::vector<uint8_t> good;
    ASSERT_EQ(EncryptLicenseText(std::string(32760, 'x'), good), LicenseEncryptStatus::kOk);
    const Case cases[] = {
        {"32,760 bytes", [&](AgreementLoader& t) { t.WriteFile(good); }, "", true, 1},
        {"a folder of that name",
         [](AgreementLoader& t) { std::filesystem::create_directory(t.LicensePath()); },
         missingText, false, 0},
        {"unreadable",
         [&](AgreementLoader& t) {
             t.WriteFile(good);
             ::chmod(t.LicensePath().c_str(), 0);
         },
         missingText, false, 0},
        {"0 bytes", [](AgreementLoader& t) { t.WriteFile({}); }, kLicenseEmptyText, false, 0},
        {"1 byte", [](AgreementLoader& t) { t.WriteFile({7}); }, "", false, 0},
        {"7 bytes", [](AgreementLoader& t) { t.WriteFile(RandomBytes(7)); }, "", false, 0},
        {"12 bytes", [](AgreementLoader& t) { t.WriteFile(RandomBytes(12)); }, "", false, 0},
        {"8 random bytes", [](AgreementLoader& t) { t.WriteFile(RandomBytes(8)); }, "", true, 1},
        {"4096 random bytes", [](AgreementLoader& t) { t.WriteFile(RandomBytes(4096)); }, "", true,
         1},
        {"another key",
         [](AgreementLoader& t) {
             std::vector<uint8_t> bytes(64, 'T');
             const uint8_t key[7] = {'7', '6', '5', '4', '3', '2', '1'};
             ASSERT_EQ(CryptBuffer(1, bytes.data(), 64, key, 7), 0);
             t.WriteFile(bytes);
         },
         "", true, 1},
        {"32,761 bytes", [](AgreementLoader& t) { t.WriteFile(RandomBytes(32761)); },
         kLicenseTooLargeText, false, 0},
        {"32,768 bytes", [](AgreementLoader& t) { t.WriteFile(RandomBytes(32768)); },
         kLicenseTooLargeText, false, 0},
        {"40,000 bytes", [](AgreementLoader& t) { t.WriteFile(RandomBytes(40000)); },
         kLicenseTooLargeText, false, 0},
        {"65,544 bytes", [](AgreementLoader& t) { t.WriteFile(RandomBytes(65544)); },
         kLicenseTooLargeText, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HeadlessReset();
        HeadlessSetWindowsDirectory(dir.string());
        std::filesystem::remove_all(LicensePath());
        c.make(*this);
        const AgreementRun run = Run("", {kAccept});
        EXPECT_EQ(run.result, c.result);
        ExpectPersonSaw(c.message, c.shown);
        std::error_code ignored;
        std::filesystem::permissions(LicensePath(), std::filesystem::perms::owner_all, ignored);
    }
}

TEST_F(AgreementLoader, TextThatCannotBeDecryptedIsNeverOffered) {
    // Encrypted under another key, the text decrypts (DES-ECB cannot tell), so the person sees
    // garbage; that much DES allows. What must hold: a failed decryption shows its message and
    // no dialog, as when the cipher refuses the key or the length. Here the self-test cannot be
    // made to fail, so the refusal comes from a length the decryption rejects: a file whose size
    // passes the dialog's test but not the decryption's does not exist within the format, so
    // the dialog procedure is run directly over such a block.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 17);
    AgreementParams params{};
    params.textBlock = block;
    params.textLength = 0x10000;  // a multiple of 8 whose low 16 bits are 0
    HeadlessScriptPerson({kAccept});
    EXPECT_EQ(DialogBoxParamA(moduleInstance, "AGREEMENT", nullptr, CovenixAgreementDlgProc,
                              reinterpret_cast<LPARAM>(&params)),
              0);
    EXPECT_EQ(params.accepted, 0);
    ASSERT_EQ(HeadlessMessageBoxes().size(), 1u);
    EXPECT_EQ(HeadlessMessageBoxes()[0].text, "License decryption failed.");
    EXPECT_EQ(HeadlessMessageBoxes()[0].caption, "Cryptography Failure");
    EXPECT_FALSE(HeadlessDialogs()[0].shown);
    GlobalFree(block);
    EXPECT_EQ(HeadlessLive().brushes, 0);
    EXPECT_EQ(HeadlessLive().globalBlocks, 0);
}

TEST_F(AgreementLoader, MachineFailuresEndInZero) {
    struct Case {
        const char* what;
        std::function<void()> inject;
        std::string message;
        bool shown;
    };
    const Case cases[] = {
        {"no memory for the text block", [] { HeadlessFailGlobalAlloc(1); }, kLicenseNoMemoryText,
         false},
        {"the text block cannot be locked", [] { HeadlessFailGlobalLock(1); }, kLicenseNoMemoryText,
         false},
        {"the file size cannot be read", [] { HeadlessFailGetFileSize(1); }, "", false},
        {"the dialog cannot be created", [] { HeadlessFailDialogCreation(1); }, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HeadlessReset();
        HeadlessSetWindowsDirectory(dir.string());
        WriteLicense("Agreement text.");
        c.inject();
        const AgreementRun run = Run("", {kAccept});
        EXPECT_EQ(run.result, 0);
        ExpectPersonSaw(c.message, c.shown);
    }
}

TEST_F(AgreementLoader, AShortReadDecryptsTheZeroTailAndLeavesTheChoiceToThePerson) {
    WriteLicense(std::string(64, 'A') + std::string(64, 'B'));
    HeadlessLimitReads(64);
    std::string shown;
    const AgreementRun run = Run("", {[&](HWND d) {
                                          char text[256];
                                          GetDlgItemTextA(d, IDC_AGREEMENT_TEXT, text, sizeof text);
                                          shown = text;
                                      },
                                      kAccept});
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(shown.substr(0, 64), std::string(64, 'A'));
    EXPECT_EQ(shown.find('B'), std::string::npos) << "the unread half is not there";
}

TEST_F(AgreementLoader, WithoutAParameterBlockNothingHappens) {
    WriteLicense("Text.");
    EXPECT_EQ(LxLoadDialog(nullptr), 0);
    EXPECT_TRUE(HeadlessDialogs().empty());
}

}  // namespace
