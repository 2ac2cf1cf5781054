// A setup program and a machine for the agreement tests: a Windows directory of its own, the
// library attached, LICENSE.DAT made by the packing function, and a run of LxLoadDialog with a
// scripted person that checks what every run must leave: the result equal to %DLLRETURN%, and
// no handle, block, file or window behind.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "headless/headless_control.h"
#include "host/agreement_loader.h"
#include "tests/support/host_table.h"
#include "tools/licensetool/license_file.h"

struct AgreementRun {
    int result = -99;
    std::string dllreturn;  // "<unset>" when the variable was not written
};

class AgreementFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        HeadlessReset();
        dir = std::filesystem::temp_directory_path() /
              ("lxagree-test-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        HeadlessSetWindowsDirectory(dir.string());
        DllMain(HeadlessModuleInstance(), DLL_PROCESS_ATTACH, nullptr);
    }
    void TearDown() override {
        DllMain(HeadlessModuleInstance(), DLL_PROCESS_DETACH, nullptr);
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(dir);
    }

  public:
    std::filesystem::path LicensePath() const { return dir / "LICENSE.DAT"; }

    void WriteFile(const std::vector<uint8_t>& bytes) const {
        std::ofstream out(LicensePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    void WriteLicense(const std::string& text) const {
        std::vector<uint8_t> file;
        ASSERT_EQ(EncryptLicenseText(text, file), LicenseEncryptStatus::kOk);
        WriteFile(file);
    }

    // Runs LxLoadDialog as a setup program would, with a table that already holds a variable.
    AgreementRun Run(const char* paramText, std::vector<HeadlessStep> person = {}) {
        HeadlessScriptPerson(std::move(person));
        HostTable table(4, 32, 16, {{"%SRCDIR%", "C:\\SETUP"}}, paramText);
        AgreementRun run;
        run.result = LxLoadDialog(&table.params);
        run.dllreturn = table.Lookup("%DLLRETURN%");
        EXPECT_EQ(table.Value(0), "C:\\SETUP") << "other variables untouched";
        EXPECT_EQ(run.dllreturn, run.result == 1 ? "1" : "0") << "%DLLRETURN% = the result";
        const HeadlessLiveHandles live = HeadlessLive();
        EXPECT_EQ(live.globalBlocks, 0);
        EXPECT_EQ(live.files, 0);
        EXPECT_EQ(live.brushes, 0);
        EXPECT_EQ(live.bitmaps, 0);
        EXPECT_EQ(live.dcs, 0);
        EXPECT_EQ(live.windows, 0);
        for (const HeadlessDialogRecord& d : HeadlessDialogs()) {
            EXPECT_FALSE(d.abandoned) << "the person's script ran out with the dialog open";
        }
        return run;
    }

    std::filesystem::path dir;
};
