// The whole of LxLoadDialog over arbitrary LICENSE.DAT bytes, with a scripted person at the
// screen and, now and then, a failing machine. Input layout:
//   byte 0    the person: one of the scripts below, or (12..15) a free script of steps
//   byte 1    the machine: bits 7-6 = 11 inject a failure (bits 1-0 which, bits 3-2 which
//             call), 10 limit each read (bits 2-0 how far), 01 shape the file (bits 2-0),
//             00 nothing special
//   then      the parameter text up to a zero byte, at most 16 bytes (a leading 0xFF: none)
//   then      for a free script: a step count byte and that many step bytes
//   the rest  LICENSE.DAT
// Every run must end with the result equal to %DLLRETURN%, 1 only when this person pressed
// Continue with "I accept" chosen in the dialog that was shown, no handle, block, file or
// window left, no dialog abandoned and no module-wide state left set. Anything else traps.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cipher/crypt_buffer.h"
#include "headless/headless_control.h"
#include "host/agreement_dialog.h"
#include "host/agreement_loader.h"
#include "resources/resource_ids.h"
#include "tests/support/all_zero.h"
#include "tests/support/host_table.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

std::filesystem::path windowsDirectory;

void RemoveWindowsDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(windowsDirectory, ignored);
}

enum Step : uint8_t {
    kAccept,
    kDecline,
    kContinue,
    kCancel,
    kCloseBox,
    kEscape,
    kEnter,
    kSettingChange,
    kNested,
    kLook,
    kClickHidden,
    kStepKinds
};

const std::vector<std::vector<Step>> kScripts = {
    {kAccept, kContinue},
    {kDecline, kContinue},
    {kCancel},
    {kCloseBox},
    {kEscape, kCloseBox},
    {kLook, kCloseBox},
    {kNested, kAccept, kContinue},
    {kAccept, kEnter},
    {kAccept, kCloseBox},
    {kAccept, kDecline, kContinue},
    {kSettingChange, kAccept, kContinue},
    {kContinue, kEnter, kClickHidden, kCancel},
};

// What the person did, seen from outside the library.
struct Person {
    HWND dialog = nullptr;  // the dialog the person worked; there is only ever one
    bool pressedAcceptAndContinue = false;
    int nestedCalls = 0;
};

void RunNestedCall() {
    HostTable table(2, 32, 16, {}, "TRUE");
    const HWND active = activeAgreementDialog;
    Check(LxLoadDialog(&table.params) == 0);  // one agreement dialog at a time
    Check(table.params.varCount == 1 && table.Name(0) == "%DLLRETURN%" && table.Value(0) == "0");
    Check(activeAgreementDialog == active);
}

void Perform(Person& person, Step step, HWND d) {
    if (person.dialog == nullptr) {
        person.dialog = d;
    }
    Check(person.dialog == d);  // a nested call never shows a dialog of its own
    const bool acceptChosen = IsDlgButtonChecked(d, IDC_ACCEPT) == BST_CHECKED;
    switch (step) {
        case kAccept:
            HeadlessClick(d, IDC_ACCEPT);
            break;
        case kDecline:
            HeadlessClick(d, IDC_DECLINE);
            break;
        case kContinue:
            if (HeadlessClick(d, IDC_CONTINUE) && acceptChosen) {
                person.pressedAcceptAndContinue = true;
            }
            break;
        case kCancel:
            HeadlessClick(d, IDC_CANCEL_BUTTON);
            break;
        case kCloseBox:
            HeadlessCloseWindow(d);
            break;
        case kEscape:
            HeadlessPressKey(d, VK_ESCAPE);
            break;
        case kEnter:
            // Enter presses the default button, Continue, when it can be pressed.
            if (acceptChosen && IsWindowEnabled(GetDlgItem(d, IDC_CONTINUE)) &&
                IsWindowVisible(GetDlgItem(d, IDC_CONTINUE))) {
                person.pressedAcceptAndContinue = true;
            }
            HeadlessPressKey(d, VK_RETURN);
            break;
        case kSettingChange:
            HeadlessBroadcastSettingChange(d);
            break;
        case kNested:
            ++person.nestedCalls;
            RunNestedCall();
            break;
        case kLook: {
            char text[64];
            GetDlgItemTextA(d, IDC_AGREEMENT_TEXT, text, sizeof text);
            break;
        }
        case kClickHidden:
            Check(!HeadlessClick(d, IDC_PICTURE_FRAME));
            break;
        case kStepKinds:
            break;
    }
}

void WriteLicense(const std::vector<uint8_t>& bytes) {
    std::ofstream out(windowsDirectory / "LICENSE.DAT", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    Check(out.good());
}

// The file the machine holds, shaped by the machine byte; true when there is one to write.
bool ShapeFile(uint8_t machine, std::vector<uint8_t>& file) {
    if ((machine & 0xC0) != 0x40) {
        return true;
    }
    static const size_t kSizes[] = {32760, 32761, 65536, 65544};
    switch (machine & 7) {
        case 0:
            return false;  // no file at all
        case 1:
        case 2:
        case 3:
        case 4: {
            // Repeated up to a size at or beyond the format's limit.
            const size_t target = kSizes[(machine & 7) - 1];
            const std::vector<uint8_t> unit = file.empty() ? std::vector<uint8_t>{0x5A} : file;
            file.clear();
            while (file.size() < target) {
                file.push_back(unit[file.size() % unit.size()]);
            }
            return true;
        }
        default:
            return true;
    }
}

void Inject(uint8_t machine) {
    if ((machine & 0xC0) == 0xC0) {
        const int nth = ((machine >> 2) & 3) + 1;
        switch (machine & 3) {
            case 0:
                HeadlessFailGlobalAlloc(nth);
                break;
            case 1:
                HeadlessFailGlobalLock(nth);
                break;
            case 2:
                HeadlessFailGetFileSize(nth);
                break;
            case 3:
                HeadlessFailDialogCreation(nth);
                break;
        }
    } else if ((machine & 0xC0) == 0x80) {
        static const long kLimits[] = {0, 1, 7, 8, 9, 64, 4096, 32759};
        HeadlessLimitReads(kLimits[machine & 7]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    windowsDirectory =
        std::filesystem::temp_directory_path() / ("lxagree-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(windowsDirectory);
    std::atexit(RemoveWindowsDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size < 2) {
        return -1;  // not an input of this layout; kept out of the corpus
    }
    const uint8_t scriptByte = input[0];
    const uint8_t machine = input[1];
    size_t at = 2;

    std::string paramText;
    bool noParamText = false;
    if (at < size && input[at] == 0xFF) {
        noParamText = true;
        ++at;
    } else {
        while (at < size && input[at] != 0 && paramText.size() < 16) {
            paramText.push_back(static_cast<char>(input[at++]));
        }
        if (at < size && input[at] == 0) {
            ++at;
        }
    }

    std::vector<Step> script;
    const size_t scriptIndex = scriptByte & 15;
    if (scriptIndex < kScripts.size()) {
        script = kScripts[scriptIndex];
    } else {
        const size_t steps = at < size ? input[at++] % 25 : 0;
        for (size_t i = 0; i < steps && at < size; ++i) {
            script.push_back(static_cast<Step>(input[at++] % kStepKinds));
        }
    }
    // A last close box, so that a script that runs out never leaves the dialog open: a dialog
    // abandoned even so is one that did not end when the person closed it.
    script.push_back(kCloseBox);

    std::vector<uint8_t> file(input + at, input + size);
    const bool writeFile = ShapeFile(machine, file);

    HeadlessReset();
    HeadlessSetWindowsDirectory(windowsDirectory.string());
    std::error_code ignored;
    std::filesystem::remove(windowsDirectory / "LICENSE.DAT", ignored);
    if (writeFile) {
        WriteLicense(file);
    }
    DllMain(HeadlessModuleInstance(), DLL_PROCESS_ATTACH, nullptr);

    Person person;
    std::vector<HeadlessStep> steps;
    for (Step s : script) {
        steps.push_back([&person, s](HWND d) { Perform(person, s, d); });
    }
    HeadlessScriptPerson(std::move(steps));
    Inject(machine);

    // The setup program's table, already holding one variable.
    HostTable table(4, 32, 16, {{"%SRCDIR%", "C:\\SETUP"}},
                    noParamText ? nullptr : paramText.c_str());

    const int result = LxLoadDialog(&table.params);

    Check(result == 0 || result == 1);
    Check(table.params.varCount == 2 && table.Name(1) == "%DLLRETURN%");
    Check(table.Value(1) == (result == 1 ? "1" : "0"));
    Check(table.Name(0) == "%SRCDIR%" && table.Value(0) == "C:\\SETUP");

    const std::vector<HeadlessDialogRecord>& dialogs = HeadlessDialogs();
    const bool shown = !dialogs.empty() && dialogs[0].shown;
    Check(result == 0 || shown);
    // Acceptance is exactly what the person did: Continue with "I accept" chosen.
    Check((result == 1) == person.pressedAcceptAndContinue);
    Check(person.dialog == nullptr || shown);
    for (const HeadlessDialogRecord& d : dialogs) {
        Check(!d.abandoned);
    }
    for (size_t i = 1; i < dialogs.size(); ++i) {
        Check(!dialogs[i].shown);  // only nested calls make more dialogs, and they stay hidden
    }
    Check(dialogs.size() <= 1 + static_cast<size_t>(person.nestedCalls));

    const HeadlessLiveHandles live = HeadlessLive();
    Check(live.globalBlocks == 0 && live.lockedBlocks == 0 && live.files == 0 &&
          live.brushes == 0 && live.bitmaps == 0 && live.dcs == 0 && live.windows == 0);
    Check(activeAgreementDialog == nullptr && agreementBrush == nullptr &&
          agreementBitmap == nullptr && currentAgreement == nullptr);
    Check(AllZero(&encryptingContext, sizeof encryptingContext) &&
          AllZero(&decryptingContext, sizeof decryptingContext));

    DllMain(HeadlessModuleInstance(), DLL_PROCESS_DETACH, nullptr);
    return 0;
}
