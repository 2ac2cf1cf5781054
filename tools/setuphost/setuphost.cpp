// setuphost: a stand-in for the setup program that loads lxagree.dll.
//
// It loads the library by path, builds the setup program's parameter block byte by byte (the
// layout is checked from outside, so no structure shared with the library is used), calls
// LxLoadDialog on the main thread and, from a watcher thread, plays the person in front of the
// screen: it dismisses message boxes, reports the agreement dialog's controls, takes a screenshot
// and answers the dialog by clicking its controls.  Everything it learns goes to stdout as
// "key: value" lines for the Wine end-to-end scripts to grep.  Run with --help for the options.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Output

CRITICAL_SECTION g_outLock;

void Out(const char* fmt, ...) {
    EnterCriticalSection(&g_outLock);
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stdout, fmt, ap);
    va_end(ap);
    fputc('\n', stdout);
    fflush(stdout);
    LeaveCriticalSection(&g_outLock);
}

// Quote a string for a report line: printable ASCII as is, the rest as C escapes.
std::string Escaped(const std::string& s, size_t maxChars = std::string::npos) {
    std::string r = "\"";
    size_t n = 0;
    for (unsigned char c : s) {
        if (n++ == maxChars) {
            r += "...";
            break;
        }
        switch (c) {
            case '"':
                r += "\\\"";
                break;
            case '\\':
                r += "\\\\";
                break;
            case '\r':
                r += "\\r";
                break;
            case '\n':
                r += "\\n";
                break;
            case '\t':
                r += "\\t";
                break;
            default:
                if (c < 0x20 || c >= 0x7f) {
                    char buf[8];
                    snprintf(buf, sizeof buf, "\\x%02x", c);
                    r += buf;
                } else {
                    r += static_cast<char>(c);
                }
        }
    }
    return r + "\"";
}

// ---------------------------------------------------------------------------------------------
// Options

enum class Answer {
    Accept,
    Decline,
    Cancel,
    Close,
    ChooseThenClose,
    EscapeThenAccept,
    ChooseThenEscape,
    None,
    Person
};

struct Options {
    std::string dllPath;
    std::string param;
    Answer answer = Answer::Accept;
    DWORD delayMs = 300;
    bool report = false;
    std::string screenshot;
    bool measure = false;
    bool baseline = false;
    DWORD timeoutMs = 20000;
    uint32_t capacity = 16;
    std::vector<std::pair<std::string, std::string>> presets;
    bool lockLicense = false;
    bool refuseDialog = false;
};

Options g_opt;

const char kUsage[] =
    "usage: setuphost.exe <path-to-dll> [options]\n"
    "       setuphost.exe --baseline [options]\n"
    "\n"
    "Loads the DLL, calls LxLoadDialog(DllCallParams*) on the main thread and plays the person\n"
    "at the screen from a watcher thread.  Output: one \"key: value\" line per fact.\n"
    "\n"
    "  --param TEXT      parameter text handed to the library (default: empty; TRUE = beta)\n"
    "  --answer HOW      what the person does with the agreement dialog (default: accept):\n"
    "                      accept             click \"I accept\", then Continue\n"
    "                      decline            click \"I do not accept\", then Continue\n"
    "                      cancel             click the Cancel button (id 3)\n"
    "                      close              close box (SC_CLOSE) without a choice\n"
    "                      choose-then-close  click \"I accept\", no Continue, then close box\n"
    "                      escape-then-accept press Escape (the focus is where the dialog put\n"
    "                                         it), report whether the dialog stayed open,\n"
    "                                         then accept\n"
    "                      choose-then-escape click \"I accept\" (the focus moves to it), press\n"
    "                                         Escape, report, then Continue\n"
    "                      none               leave the dialog alone (ends in a timeout)\n"
    "                      person             the person at the screen answers the dialog and\n"
    "                                         any message box; no time limit\n"
    "  --delay MS        wait this long after the dialog appears before acting (default 300)\n"
    "  --report          print every control's id, visibility, state and text\n"
    "  --screenshot F    save the dialog's pixels as a 24-bit BMP and print the picture\n"
    "                    frame's rectangle in it as \"frame: x y w h\"\n"
    "  --measure         print the time from the call to the dialog being shown\n"
    "                    (shown-after-ms)\n"
    "  --baseline        no DLL: show an empty dialog of the same size and style, timed the\n"
    "                    same way (baseline-shown-after-ms), closed by the close box\n"
    "  --timeout MS      give up after this long (default 20000): error line, exit code 3\n"
    "  --capacity N      variable slots in the table (default 16; the host fills two)\n"
    "  --refuse-dialog   refuse the creation of the agreement dialog's window (a CBT hook),\n"
    "                    as when the system cannot create it\n"
    "  --lock-license    hold LICENSE.DAT open with no sharing during the call, so that\n"
    "                    the library cannot open it (an unreadable file)\n"
    "  --preset N=V      put variable N (with its percent signs) = V in the table first;\n"
    "                    repeatable, e.g. --preset %DLLRETURN%=x\n"
    "\n"
    "Exit codes: 0 the call completed (whatever it returned), 1 harness error (DLL not\n"
    "loadable, screenshot failed), 2 bad command line, 3 timeout, 4 crash.\n";

[[noreturn]] void UsageError(const char* what, const char* arg) {
    fprintf(stderr, "setuphost: %s%s%s\n\n%s", what, arg ? ": " : "", arg ? arg : "", kUsage);
    exit(2);
}

DWORD ParseMs(const char* s) {
    char* end = nullptr;
    unsigned long v = strtoul(s, &end, 10);
    if (!*s || *end || v > 3600000ul) {
        UsageError("not a number of milliseconds", s);
    }
    return static_cast<DWORD>(v);
}

void ParseArgs(int argc, char** argv) {
    static const struct {
        const char* name;
        Answer value;
    } kAnswers[] = {{"accept", Answer::Accept},
                    {"decline", Answer::Decline},
                    {"cancel", Answer::Cancel},
                    {"close", Answer::Close},
                    {"choose-then-close", Answer::ChooseThenClose},
                    {"escape-then-accept", Answer::EscapeThenAccept},
                    {"choose-then-escape", Answer::ChooseThenEscape},
                    {"none", Answer::None},
                    {"person", Answer::Person}};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                UsageError("missing value for", argv[i]);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            fputs(kUsage, stdout);
            exit(0);
        } else if (a == "--param") {
            g_opt.param = value();
        } else if (a == "--answer") {
            const char* v = value();
            bool found = false;
            for (const auto& k : kAnswers) {
                if (strcmp(v, k.name) == 0) {
                    g_opt.answer = k.value;
                    found = true;
                }
            }
            if (!found) {
                UsageError("unknown answer", v);
            }
        } else if (a == "--delay") {
            g_opt.delayMs = ParseMs(value());
        } else if (a == "--report") {
            g_opt.report = true;
        } else if (a == "--screenshot") {
            g_opt.screenshot = value();
        } else if (a == "--measure") {
            g_opt.measure = true;
        } else if (a == "--baseline") {
            g_opt.baseline = true;
        } else if (a == "--timeout") {
            g_opt.timeoutMs = ParseMs(value());
        } else if (a == "--refuse-dialog") {
            g_opt.refuseDialog = true;
        } else if (a == "--lock-license") {
            g_opt.lockLicense = true;
        } else if (a == "--capacity") {
            DWORD v = ParseMs(value());
            if (v > 65535) {
                UsageError("capacity above 65535", argv[i]);
            }
            g_opt.capacity = v;
        } else if (a == "--preset") {
            std::string v = value();
            size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0) {
                UsageError("--preset wants NAME=VALUE", v.c_str());
            }
            g_opt.presets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (a.size() > 1 && a[0] == '-') {
            UsageError("unknown option", a.c_str());
        } else if (g_opt.dllPath.empty()) {
            g_opt.dllPath = a;
        } else {
            UsageError("more than one DLL path", a.c_str());
        }
    }
    if (g_opt.dllPath.empty() && !g_opt.baseline) {
        UsageError("no DLL path given", nullptr);
    }
}

// ---------------------------------------------------------------------------------------------
// The parameter block and the variable table, laid out by byte offsets.

constexpr size_t kOffOwnA = 0;  // 8 bytes the setup program keeps for itself
constexpr size_t kOffVarCapacity = 8;
constexpr size_t kOffNameSlotSize = 12;
constexpr size_t kOffValueSlotSize = 16;
constexpr size_t kOffVarCount = 20;
constexpr size_t kOffVarNames = 24;
constexpr size_t kOffVarValues = 28;
constexpr size_t kOffOwnB = 32;  // 8 more bytes of its own
constexpr size_t kOffParamText = 40;
constexpr size_t kBlockSize = 96;  // the library uses 44 bytes; the rest is the host's

constexpr uint32_t kNameSlot = 64;
constexpr uint32_t kValueSlot = 256;
constexpr size_t kGuard = 64;  // pattern bytes after each slot array, to catch overruns
constexpr char kResultName[] = "%DLLRETURN%";

uint8_t PatternByte(size_t i, uint8_t seed) {
    return static_cast<uint8_t>(seed + i * 37u);
}

void PutU32(uint8_t* p, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[off + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

uint32_t GetU32(const uint8_t* p, size_t off) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<uint32_t>(p[off + i]) << (8 * i);
    }
    return v;
}

// Pointers go into the block as 32-bit little-endian values; this program is built for i686, so a
// pointer's value fits.
uint32_t Addr(const void* p) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

struct HostTable {
    std::vector<uint8_t> block;
    std::vector<uint8_t> names;   // capacity * kNameSlot + kGuard
    std::vector<uint8_t> values;  // capacity * kValueSlot + kGuard
    std::string paramText;        // owns the bytes paramText points at
    uint32_t count = 0;

    void Init(uint32_t capacity, const std::string& param) {
        block.resize(kBlockSize);
        for (size_t i = 0; i < kBlockSize; ++i) {
            block[i] = PatternByte(i, 0x5a);
        }
        names.resize(capacity * kNameSlot + kGuard);
        values.resize(capacity * kValueSlot + kGuard);
        for (size_t i = 0; i < names.size(); ++i) {
            names[i] = PatternByte(i, 0xa5);
        }
        for (size_t i = 0; i < values.size(); ++i) {
            values[i] = PatternByte(i, 0x3c);
        }
        paramText = param;
        PutU32(block.data(), kOffVarCapacity, capacity);
        PutU32(block.data(), kOffNameSlotSize, kNameSlot);
        PutU32(block.data(), kOffValueSlotSize, kValueSlot);
        PutU32(block.data(), kOffVarNames, Addr(names.data()));
        PutU32(block.data(), kOffVarValues, Addr(values.data()));
        PutU32(block.data(), kOffParamText, Addr(paramText.c_str()));
        PutU32(block.data(), kOffVarCount, 0);
    }

    // Only the string and its NUL are written: the rest of the slot keeps the pattern, so that a
    // library writing past a NUL into a slot it does not own shows up.
    bool Add(const std::string& name, const std::string& value) {
        uint32_t capacity = GetU32(block.data(), kOffVarCapacity);
        if (count >= capacity || name.size() >= kNameSlot || value.size() >= kValueSlot) {
            return false;
        }
        memcpy(&names[count * kNameSlot], name.c_str(), name.size() + 1);
        memcpy(&values[count * kValueSlot], value.c_str(), value.size() + 1);
        ++count;
        PutU32(block.data(), kOffVarCount, count);
        return true;
    }

    std::string NameAt(uint32_t i) const { return SlotString(names, i * kNameSlot, kNameSlot); }
    std::string ValueAt(uint32_t i) const { return SlotString(values, i * kValueSlot, kValueSlot); }

    static std::string SlotString(const std::vector<uint8_t>& v, size_t off, size_t width) {
        const char* s = reinterpret_cast<const char*>(&v[off]);
        return std::string(s, strnlen(s, width));
    }
};

// Compare the table after the call with the copy taken before it.  Apart from varCount and the
// slots that hold %DLLRETURN% afterwards, every byte of the block, of the slot arrays, of their
// guards and of the parameter text must be as the host left it.
void CheckLayout(const HostTable& before, const HostTable& after, uint32_t countAfter) {
    std::vector<std::string> faults;
    auto fault = [&](const char* region, size_t off) {
        if (faults.size() < 8) {
            char buf[96];
            snprintf(buf, sizeof buf, "%s+%u", region, static_cast<unsigned>(off));
            faults.push_back(buf);
        }
    };
    for (size_t i = 0; i < kBlockSize; ++i) {
        bool isCount = i >= kOffVarCount && i < kOffVarCount + 4;
        if (!isCount && before.block[i] != after.block[i]) {
            fault("block", i);
        }
    }
    uint32_t capacity = GetU32(before.block.data(), kOffVarCapacity);
    uint32_t countBefore = before.count;
    if (countAfter != countBefore && countAfter != countBefore + 1) {
        fault("varCount", kOffVarCount);
    }
    auto checkArray = [&](const char* region, const std::vector<uint8_t>& b,
                          const std::vector<uint8_t>& a, size_t slot) {
        for (size_t i = 0; i < b.size(); ++i) {
            size_t idx = i / slot;
            // A slot pair that holds %DLLRETURN% afterwards belongs to the library as a whole:
            // whether it pads after the NUL (strncpy) or not is its own business.
            if (idx < capacity && idx < countAfter &&
                after.NameAt(static_cast<uint32_t>(idx)) == kResultName) {
                continue;
            }
            if (b[i] != a[i]) {
                fault(region, i);
            }
        }
    };
    checkArray("names", before.names, after.names, kNameSlot);
    checkArray("values", before.values, after.values, kValueSlot);
    if (before.paramText.compare(0, std::string::npos, after.paramText.c_str(),
                                 before.paramText.size()) != 0) {
        fault("paramText", 0);
    }
    if (faults.empty()) {
        Out("layout: ok");
    } else {
        Out("layout: broken");
        for (const auto& f : faults) {
            Out("layout-fault: %s", f.c_str());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// State shared by the main thread, the CBT hook and the watcher

DWORD g_mainThreadId = 0;
HANDLE g_callDone = nullptr;  // manual-reset: set when LxLoadDialog (or the baseline) returned
LARGE_INTEGER g_qpcFreq;
LARGE_INTEGER g_callStart;
volatile LONG g_shownSeen = 0;
LARGE_INTEGER g_shownAt;  // when the dialog was made visible
volatile LONG g_dialogSeen = 0;
volatile LONG g_harnessError = 0;

const char kDialogCaption[] = "License Agreement";

double MsBetween(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
    return static_cast<double>(b.QuadPart - a.QuadPart) * 1000.0 /
           static_cast<double>(g_qpcFreq.QuadPart);
}

std::string ClassOf(HWND w) {
    char buf[64] = {};
    GetClassNameA(w, buf, sizeof buf);
    return buf;
}

// Text of a window owned by the main thread.  SendMessageTimeout keeps the watcher from hanging
// on a main thread that stopped pumping messages.
std::string TextOf(HWND w) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) {
        return "<no answer>";
    }
    std::vector<char> buf(len + 2, '\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutA(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                        SMTO_ABORTIFHUNG, 2000, &got);
    return std::string(buf.data());
}

// The agreement dialog and the library's message boxes are all #32770 windows without an owner;
// the caption tells them apart (the message boxes' captions all differ from the dialog's).  No
// control is looked for: a dialog that lacks one must still be reported as the dialog.
bool IsAgreementDialog(HWND w) {
    return ClassOf(w) == "#32770" && TextOf(w) == kDialogCaption;
}

// The window-procedure hook runs on the main thread inside the modal loop; it records when the
// agreement dialog (or the baseline dialog) is first made visible. Activation would not do: a
// dialog that sets the focus while it initialises is activated before it is shown, and one that
// ends during initialisation is activated without ever being shown.
LRESULT CALLBACK ShowProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && !g_shownSeen) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == WM_SHOWWINDOW && call->wParam != 0) {
            char caption[64] = {};
            GetWindowTextA(call->hwnd, caption, sizeof caption);
            if (ClassOf(call->hwnd) == "#32770" && strcmp(caption, kDialogCaption) == 0) {
                QueryPerformanceCounter(&g_shownAt);
                g_shownSeen = 1;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// With --refuse-dialog, the agreement dialog's window is never created: the system then reports
// a dialog that could not be made at all, as it does when it runs out of resources.
LRESULT CALLBACK RefuseProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        if (create->lpszName != nullptr && reinterpret_cast<uintptr_t>(create->lpszName) > 0xFFFF &&
            strcmp(create->lpszName, kDialogCaption) == 0) {
            Out("dialog-creation: refused");
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Watcher: the person at the screen

struct FoundWindows {
    std::vector<HWND> list;
};

BOOL CALLBACK CollectTopLevel(HWND w, LPARAM lp) {
    if (IsWindowVisible(w) && ClassOf(w) == "#32770") {
        reinterpret_cast<FoundWindows*>(lp)->list.push_back(w);
    }
    return TRUE;
}

bool Send(HWND w, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result = nullptr) {
    DWORD_PTR r = 0;
    bool ok = SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &r) != 0;
    if (result) {
        *result = r;
    }
    return ok;
}

// A person's click: BM_CLICK makes the button go through its own mouse-down/up handling, so the
// parent gets a genuine WM_COMMAND/BN_CLICKED.  BM_CLICK itself does not care whether the button
// is disabled or hidden (Wine's buttons then still notify), but a person cannot click those, so
// neither does this.
void Click(HWND dlg, int id, const char* what) {
    HWND b = GetDlgItem(dlg, id);
    if (!b) {
        Out("click-%s: absent (control %d)", what, id);
        return;
    }
    if (!IsWindowVisible(b) || !IsWindowEnabled(b)) {
        Out("click-%s: not-clickable (visible=%d enabled=%d)", what, IsWindowVisible(b) ? 1 : 0,
            IsWindowEnabled(b) ? 1 : 0);
        return;
    }
    Send(b, BM_CLICK, 0, 0);
    Out("click-%s: done", what);
}

void SyncWith(HWND w) {
    Send(w, WM_NULL, 0, 0);
}

BOOL CALLBACK CollectChildren(HWND w, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

void DismissMessageBox(HWND box) {
    std::string caption = TextOf(box);
    std::string text = TextOf(GetDlgItem(box, 0xFFFF));
    Out("messagebox: caption=%s text=%s", Escaped(caption).c_str(), Escaped(text).c_str());
    std::vector<HWND> kids;
    EnumChildWindows(box, CollectChildren, reinterpret_cast<LPARAM>(&kids));
    std::string buttons;
    HWND ok = nullptr;
    for (HWND k : kids) {
        if (ClassOf(k) == "Button" && IsWindowVisible(k)) {
            buttons += (buttons.empty() ? "" : ",") + TextOf(k);
            if (!ok || GetDlgCtrlID(k) == IDOK) {
                ok = k;
            }
        }
    }
    Out("messagebox-buttons: %s", buttons.c_str());
    if (ok) {
        Send(ok, BM_CLICK, 0, 0);
    } else {
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
}

bool IsChecked(HWND ctl) {
    DWORD_PTR r = 0;
    Send(ctl, BM_GETCHECK, 0, 0, &r);
    return r == BST_CHECKED;
}

void ReportControls(HWND dlg) {
    RECT wr;
    GetWindowRect(dlg, &wr);
    Out("dialog-rect: %ld %ld %ld %ld", wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top);
    Out("screen: %d %d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    Out("dialog-owner: %s", GetWindow(dlg, GW_OWNER) ? "present" : "none");
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    if (GetGUIThreadInfo(g_mainThreadId, &gti) && gti.hwndFocus) {
        Out("focus: %d", GetDlgCtrlID(gti.hwndFocus));
    } else {
        Out("focus: none");
    }
    static const int kIds[] = {1004, 1013, 1006, 1005, 1010, 1012, 1, 2, 3};
    for (int id : kIds) {
        HWND c = GetDlgItem(dlg, id);
        if (!c) {
            Out("control-%d: absent", id);
            continue;
        }
        std::string cls = ClassOf(c);
        std::string text = TextOf(c);
        std::string extra;
        if (id == 1010 || id == 1012) {
            extra = IsChecked(c) ? " checked=1" : " checked=0";
        }
        if (id == 1005) {
            extra += " length=" + std::to_string(text.size());
        }
        Out("control-%d: class=%s visible=%d enabled=%d%s text=%s", id, cls.c_str(),
            IsWindowVisible(c) ? 1 : 0, IsWindowEnabled(c) ? 1 : 0, extra.c_str(),
            Escaped(text, id == 1005 ? 60 : std::string::npos).c_str());
    }
}

// The picture frame's client rectangle (where the bitmap is painted) in window coordinates, which
// are the screenshot's pixel coordinates because the capture starts at the window's corner.
bool FrameInWindow(HWND dlg, RECT* out) {
    HWND frame = GetDlgItem(dlg, 1013);
    if (!frame) {
        return false;
    }
    RECT wr, cr;
    GetWindowRect(dlg, &wr);
    GetClientRect(frame, &cr);
    MapWindowPoints(frame, nullptr, reinterpret_cast<POINT*>(&cr), 2);
    out->left = cr.left - wr.left;
    out->top = cr.top - wr.top;
    out->right = cr.right - wr.left;
    out->bottom = cr.bottom - wr.top;
    return true;
}

bool WriteBmp(const std::string& path, int w, int h, const void* bits, size_t stride) {
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;  // bottom-up, as the DIB section holds it
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = static_cast<DWORD>(stride * h);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    bool ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&ih, sizeof ih, 1, f) == 1 &&
              fwrite(bits, ih.biSizeImage, 1, f) == 1;
    return fclose(f) == 0 && ok;
}

// Capture the dialog window, frame and caption included, through its window DC into a 24-bit DIB.
// The window DC reads the window's own surface, so another window over it would not spoil it.
void Screenshot(HWND dlg) {
    RECT wr;
    GetWindowRect(dlg, &wr);
    int w = wr.right - wr.left, h = wr.bottom - wr.top;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC src = GetWindowDC(dlg);
    HDC mem = CreateCompatibleDC(src);
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = src && mem && dib;
    if (ok) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, w, h, src, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(mem, old);
    }
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    ok = ok && WriteBmp(g_opt.screenshot, w, h, bits, stride);
    if (dib) {
        DeleteObject(dib);
    }
    if (mem) {
        DeleteDC(mem);
    }
    if (src) {
        ReleaseDC(dlg, src);
    }
    if (!ok) {
        Out("error: screenshot to %s failed", g_opt.screenshot.c_str());
        g_harnessError = 1;
        return;
    }
    Out("screenshot: %s %d %d", g_opt.screenshot.c_str(), w, h);
}

BOOL CALLBACK AnyChildNeedsPaint(HWND w, LPARAM lp) {
    if (IsWindowVisible(w) && GetUpdateRect(w, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(lp) = true;
    }
    return TRUE;
}

// The fixed delay is usually enough for the first paint, but a loaded machine can be slower: wait
// (up to 3 s) until neither the dialog nor a child has anything left to paint.
void WaitPainted(HWND dlg) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 3000) {
        bool pending = GetUpdateRect(dlg, nullptr, FALSE) != 0;
        EnumChildWindows(dlg, AnyChildNeedsPaint, reinterpret_cast<LPARAM>(&pending));
        if (!pending) {
            return;
        }
        Sleep(20);
    }
    Out("warning: the dialog still had unpainted parts after 3 s");
}

bool StillOpen(HWND dlg) {
    return IsWindow(dlg) && IsWindowVisible(dlg);
}

void ReportContinue(HWND dlg, const char* when) {
    HWND c = GetDlgItem(dlg, IDOK);
    Out("continue-enabled-%s: %d", when, c && IsWindowEnabled(c) ? 1 : 0);
}

// The close box: the system menu's Close, which the dialog receives as WM_SYSCOMMAND/SC_CLOSE
// and the default handling turns into WM_CLOSE.
void CloseBox(HWND dlg) {
    PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    Out("close: posted");
}

// Escape as a keystroke: the key goes to the control that has the focus, through the dialog's
// modal loop (IsDialogMessage), exactly where a real key press would arrive.
void PressEscape(HWND dlg) {
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    HWND target = dlg;
    if (GetGUIThreadInfo(g_mainThreadId, &gti) && gti.hwndFocus) {
        target = gti.hwndFocus;
    }
    UINT scan = MapVirtualKeyA(VK_ESCAPE, 0);
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 1 | (scan << 16) | (3u << 30));
    Out("escape: sent to control %d", target == dlg ? 0 : GetDlgCtrlID(target));
    Sleep(300);
    if (IsWindow(dlg)) {
        SyncWith(dlg);
    }
    Out("escape-result: %s", StillOpen(dlg) ? "dialog-open" : "dialog-closed");
}

void AnswerDialog(HWND dlg) {
    const Answer a = g_opt.answer;
    if (a == Answer::None) {
        Out("answer: none");
        return;
    }
    if (a == Answer::EscapeThenAccept) {
        PressEscape(dlg);
        if (!StillOpen(dlg)) {
            return;
        }
    }
    ReportContinue(dlg, "before");
    if (a == Answer::Close) {
        CloseBox(dlg);
        return;
    }
    if (a == Answer::Cancel) {
        Click(dlg, 3, "cancel");
        return;
    }
    const bool accept = a != Answer::Decline;
    Click(dlg, accept ? 1010 : 1012, accept ? "accept" : "decline");
    ReportContinue(dlg, "after");
    if (a == Answer::ChooseThenEscape) {
        PressEscape(dlg);
        if (!StillOpen(dlg)) {
            return;
        }
    }
    if (a == Answer::ChooseThenClose) {
        CloseBox(dlg);
    } else {
        Click(dlg, IDOK, "continue");
    }
}

void HandleDialog(HWND dlg) {
    g_dialogSeen = 1;
    Sleep(g_opt.delayMs);
    if (!IsWindow(dlg)) {
        Out("error: the dialog went away before it could be answered");
        return;
    }
    SyncWith(dlg);  // the modal loop is pumping and has handled what was sent before
    if (g_opt.report) {
        ReportControls(dlg);
    }
    RECT fr;
    if ((g_opt.report || !g_opt.screenshot.empty()) && FrameInWindow(dlg, &fr)) {
        Out("frame: %ld %ld %ld %ld", fr.left, fr.top, fr.right - fr.left, fr.bottom - fr.top);
    }
    if (!g_opt.screenshot.empty()) {
        WaitPainted(dlg);
        Screenshot(dlg);
    }
    AnswerDialog(dlg);
}

void HandleBaseline(HWND dlg) {
    g_dialogSeen = 1;
    Sleep(g_opt.delayMs);
    SyncWith(dlg);
    if (!g_opt.screenshot.empty()) {
        WaitPainted(dlg);
        Screenshot(dlg);
    }
    CloseBox(dlg);
}

[[noreturn]] void Timeout(const char* what) {
    Out("error: timeout after %lu ms: %s", static_cast<unsigned long>(g_opt.timeoutMs), what);
    ExitProcess(3);
}

DWORD WINAPI Watcher(void*) {
    DWORD start = GetTickCount();
    std::vector<HWND> handled;
    bool answered = false;
    for (;;) {
        if (WaitForSingleObject(g_callDone, 20) == WAIT_OBJECT_0) {
            return 0;
        }
        if (g_opt.answer == Answer::Person) {
            continue;  // the person at the screen answers everything, with no time limit
        }
        if (GetTickCount() - start > g_opt.timeoutMs) {
            if (!answered) {
                Timeout(g_dialogSeen ? "the dialog is still open and the call did not return"
                                     : "no agreement dialog appeared and the call did not return");
            }
            Timeout("the dialog was answered but the call did not return");
        }
        // Forget windows that are gone, so that a later one given the same handle is seen.
        for (size_t i = handled.size(); i-- > 0;) {
            if (!IsWindow(handled[i])) {
                handled.erase(handled.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        FoundWindows found;
        EnumThreadWindows(g_mainThreadId, CollectTopLevel, reinterpret_cast<LPARAM>(&found));
        for (HWND w : found.list) {
            bool seen = false;
            for (HWND h : handled) {
                seen = seen || h == w;
            }
            if (seen) {
                continue;
            }
            handled.push_back(w);
            if (g_opt.baseline) {
                HandleBaseline(w);
                answered = true;
            } else if (IsAgreementDialog(w)) {
                HandleDialog(w);
                answered = g_opt.answer != Answer::None;
            } else {
                DismissMessageBox(w);
            }
        }
    }
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* ep) {
    Out("error: crash, exception 0x%08lx at %p",
        static_cast<unsigned long>(ep->ExceptionRecord->ExceptionCode),
        ep->ExceptionRecord->ExceptionAddress);
    ExitProcess(4);
}

// ---------------------------------------------------------------------------------------------
// Baseline: an empty dialog with the agreement dialog's size, style and font.

INT_PTR CALLBACK BaselineProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) {
        return TRUE;
    }
    if (msg == WM_CLOSE) {
        EndDialog(dlg, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR RunBaseline() {
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto wstr = [&](const char* s) {
        for (; *s; ++s) {
            t.push_back(static_cast<unsigned char>(*s));
        }
        t.push_back(0);
    };
    dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);  // style
    dword(0);                                                                // extended style
    t.push_back(0);                                                          // no controls
    t.push_back(0);                                                          // x
    t.push_back(0);                                                          // y
    t.push_back(312);                                                        // cx
    t.push_back(246);                                                        // cy
    t.push_back(0);                                                          // no menu
    t.push_back(0);                                                          // default class
    wstr(kDialogCaption);
    t.push_back(8);  // point size
    wstr("MS Sans Serif");
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr),
                                   reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), nullptr,
                                   BaselineProc, 0);
}

}  // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends: the scripts grep these lines with anchors.
    _setmode(_fileno(stdout), _O_BINARY);
    InitializeCriticalSection(&g_outLock);
    ParseArgs(argc, argv);
    SetUnhandledExceptionFilter(OnCrash);
    QueryPerformanceFrequency(&g_qpcFreq);
    g_mainThreadId = GetCurrentThreadId();
    g_callDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    typedef int(WINAPI * LoadDialogFn)(void*);
    LoadDialogFn loadDialog = nullptr;
    if (!g_opt.baseline) {
        HMODULE lib = LoadLibraryA(g_opt.dllPath.c_str());
        if (!lib) {
            Out("error: LoadLibrary(%s) failed, error %lu", g_opt.dllPath.c_str(), GetLastError());
            return 1;
        }
        loadDialog = reinterpret_cast<LoadDialogFn>(
            reinterpret_cast<void*>(GetProcAddress(lib, "LxLoadDialog")));
        if (!loadDialog) {
            Out("error: LxLoadDialog is not exported by %s", g_opt.dllPath.c_str());
            return 1;
        }
    }

    HostTable table;
    table.Init(g_opt.capacity, g_opt.param);
    char windir[MAX_PATH] = {};
    GetWindowsDirectoryA(windir, sizeof windir);
    HANDLE lock = INVALID_HANDLE_VALUE;
    if (g_opt.lockLicense) {
        const std::string path = std::string(windir) + "\\license.dat";
        lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (lock == INVALID_HANDLE_VALUE) {
            Out("error: cannot lock %s, error %lu", path.c_str(), GetLastError());
            return 1;
        }
        Out("license-locked: yes");
    }
    bool filled = table.Add("%SRCDIR%", "C:\\SETUP\\SOURCE") && table.Add("%WINDIR%", windir);
    for (const auto& p : g_opt.presets) {
        filled = filled && table.Add(p.first, p.second);
    }
    if (!filled && !g_opt.baseline) {
        Out("error: the table has no room for the host's own variables (--capacity)");
        return 2;
    }
    const HostTable before = table;

    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, ShowProc, nullptr, g_mainThreadId);
    HHOOK refuse = g_opt.refuseDialog
                       ? SetWindowsHookExA(WH_CBT, RefuseProc, nullptr, g_mainThreadId)
                       : nullptr;
    HANDLE watcher = CreateThread(nullptr, 0, Watcher, nullptr, 0, nullptr);

    int result = 0;
    QueryPerformanceCounter(&g_callStart);
    if (g_opt.baseline) {
        result = static_cast<int>(RunBaseline());
    } else {
        result = loadDialog(table.block.data());
    }
    SetEvent(g_callDone);
    if (lock != INVALID_HANDLE_VALUE) {
        CloseHandle(lock);
    }
    WaitForSingleObject(watcher, 10000);
    if (hook) {
        UnhookWindowsHookEx(hook);
    }
    if (refuse) {
        UnhookWindowsHookEx(refuse);
    }

    const bool shown = g_shownSeen != 0;
    if (g_opt.baseline) {
        Out("baseline-result: %d", result);
        if (g_shownSeen) {
            Out("baseline-shown-after-ms: %.1f", MsBetween(g_callStart, g_shownAt));
        }
        return g_harnessError ? 1 : 0;
    }

    Out("result: %d", result);
    uint32_t countAfter = GetU32(table.block.data(), kOffVarCount);
    uint32_t capacity = GetU32(table.block.data(), kOffVarCapacity);
    int slots = 0;
    std::string value;
    for (uint32_t i = 0; i < countAfter && i < capacity; ++i) {
        if (table.NameAt(i) == kResultName) {
            value = table.ValueAt(i);
            ++slots;
        }
    }
    if (slots) {
        Out("dllreturn: %s", Escaped(value).c_str());
    } else {
        Out("dllreturn: <unset>");
    }
    Out("dllreturn-slots: %d", slots);
    Out("varcount: %u (before %u)", countAfter, before.count);
    CheckLayout(before, table, countAfter);
    Out("dialog: %s", shown ? "shown" : "not-shown");
    if (g_opt.measure) {
        if (g_shownSeen) {
            Out("shown-after-ms: %.1f", MsBetween(g_callStart, g_shownAt));
        } else {
            Out("shown-after-ms: <not shown>");
        }
    }
    return g_harnessError ? 1 : 0;
}
