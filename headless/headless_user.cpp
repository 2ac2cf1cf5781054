// User part of the stand-in: message boxes, modal dialogs from the module's templates, their
// controls, focus, geometry and painting, and the person who works the dialog.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "headless/headless_state.h"

namespace headless {

Window* FindWindow(HWND window) {
    Object* object = Find(window, Kind::Window);
    return object == nullptr ? nullptr : &object->window;
}

}  // namespace headless

using namespace headless;

namespace {

// Non-client frame of a dialog window: border on each side, caption on top.
constexpr int kBorder = 3;
constexpr int kCaption = 18;

int MulDivRound(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) /
                            denominator);
}

RECT DialogUnitsToPixels(short x, short y, short cx, short cy) {
    const Machine& m = M();
    RECT r;
    r.left = MulDivRound(x, m.baseUnitX, 4);
    r.top = MulDivRound(y, m.baseUnitY, 8);
    r.right = r.left + MulDivRound(cx, m.baseUnitX, 4);
    r.bottom = r.top + MulDivRound(cy, m.baseUnitY, 8);
    return r;
}

const HeadlessDialogTemplate* FindTemplate(HINSTANCE instance, LPCSTR name) {
    if (instance != HeadlessModuleInstance() || name == nullptr ||
        reinterpret_cast<uintptr_t>(name) <= 0xFFFF) {
        return nullptr;  // only named templates of our module exist
    }
    for (size_t i = 0; i < kHeadlessModuleResources.dialogCount; ++i) {
        if (::strcasecmp(kHeadlessModuleResources.dialogs[i].name, name) == 0) {
            return &kHeadlessModuleResources.dialogs[i];
        }
    }
    return nullptr;
}

Window* Control(HWND dialog, int id) {
    Window* d = FindWindow(dialog);
    if (d == nullptr) {
        return nullptr;
    }
    for (HWND child : d->children) {
        Window* c = FindWindow(child);
        if (c != nullptr && c->id == id) {
            return c;
        }
    }
    return nullptr;
}

HWND ControlHandle(HWND dialog, int id) {
    Window* d = FindWindow(dialog);
    if (d == nullptr) {
        return nullptr;
    }
    for (HWND child : d->children) {
        Window* c = FindWindow(child);
        if (c != nullptr && c->id == id) {
            return child;
        }
    }
    return nullptr;
}

bool IsAutoRadio(const Window& w) {
    return (w.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON;
}

INT_PTR Deliver(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* d = FindWindow(dialog);
    if (d == nullptr || d->procedure == nullptr) {
        return 0;
    }
    return d->procedure(dialog, message, wParam, lParam);
}

void Paint(HWND dialog) {
    Window* d = FindWindow(dialog);
    if (d == nullptr || !d->invalid) {
        return;
    }
    ++M().dialogs[d->record].paints;
    Deliver(dialog, WM_PAINT, 0, 0);
    // Whatever the procedure did, the default handling validates the window.
    if (Window* again = FindWindow(dialog)) {
        again->invalid = false;
    }
}

// Screen position of a window's client area origin.
POINT ClientOrigin(HWND window) {
    POINT p{0, 0};
    Window* w = FindWindow(window);
    if (w == nullptr) {
        return p;
    }
    if (w->dialog) {
        p.x = w->rect.left + kBorder;
        p.y = w->rect.top + kBorder + kCaption;
        return p;
    }
    const POINT parent = ClientOrigin(w->parent);
    p.x = parent.x + w->rect.left;
    p.y = parent.y + w->rect.top;
    return p;
}

void DestroyDialog(HWND dialog) {
    Deliver(dialog, WM_DESTROY, 0, 0);
    Window* d = FindWindow(dialog);
    if (d == nullptr) {
        return;
    }
    for (HWND child : d->children) {
        if (M().focus == child) {
            M().focus = nullptr;
        }
        M().objects.erase(Value(child));
    }
    if (M().focus == dialog) {
        M().focus = nullptr;
    }
    M().objects.erase(Value(dialog));
}

}  // namespace

HINSTANCE HeadlessModuleInstance() {
    return As<HINSTANCE>(0x400000);
}

void HeadlessSetScreenSize(int width, int height) {
    M().screenWidth = width;
    M().screenHeight = height;
}
void HeadlessSetSysColor(int index, COLORREF colour) {
    M().sysColors[index] = colour;
}
void HeadlessSetDialogBaseUnits(int x, int y) {
    M().baseUnitX = x;
    M().baseUnitY = y;
}
void HeadlessFailDialogCreation(int nthCall) {
    M().failDialog = nthCall;
}

const std::vector<HeadlessMessageBox>& HeadlessMessageBoxes() {
    return M().messageBoxes;
}
void HeadlessSetMessageBoxAnswerer(std::function<int(const HeadlessMessageBox&)> answerer) {
    M().answerer = std::move(answerer);
}
void HeadlessScriptPerson(std::vector<HeadlessStep> steps) {
    M().script = std::move(steps);
    M().scriptPosition = 0;
}
const std::vector<HeadlessDialogRecord>& HeadlessDialogs() {
    return M().dialogs;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    HeadlessMessageBox box{owner, text != nullptr ? text : "",
                           caption != nullptr ? caption : "Error", style};
    M().messageBoxes.push_back(box);
    if (M().answerer) {
        return M().answerer(box);
    }
    return IDOK;
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner,
                               DLGPROC procedure, LPARAM initParam) {
    const HeadlessDialogTemplate* t = FindTemplate(instance, templateName);
    if (t == nullptr || procedure == nullptr || Fails(M().failDialog)) {
        return -1;
    }
    Machine& m = M();
    const uintptr_t handle = NewHandle(Kind::Window);
    const HWND dialog = As<HWND>(handle);
    {
        Window& d = m.objects[handle].window;
        d.dialog = true;
        d.parent = owner;
        d.className = "#32770";
        d.style = t->style;
        d.text = t->caption;
        d.procedure = procedure;
        RECT client = DialogUnitsToPixels(t->x, t->y, t->cx, t->cy);
        d.rect = {client.left, client.top, client.right + 2 * kBorder,
                  client.bottom + 2 * kBorder + kCaption};
        d.record = m.dialogs.size();
    }
    m.dialogs.push_back(HeadlessDialogRecord{t->name});
    for (size_t i = 0; i < t->controlCount; ++i) {
        const HeadlessControlTemplate& c = t->controls[i];
        const uintptr_t child = NewHandle(Kind::Window);
        Window& w = m.objects[child].window;
        w.parent = dialog;
        w.id = c.id;
        w.className = c.className;
        w.style = c.style;
        w.text = c.text;
        w.visible = (c.style & WS_VISIBLE) != 0;
        w.enabled = (c.style & WS_DISABLED) == 0;
        w.rect = DialogUnitsToPixels(c.x, c.y, c.cx, c.cy);
        FindWindow(dialog)->children.push_back(As<HWND>(child));
    }
    m.modalStack.push_back(dialog);

    // The first tab stop gets the focus unless the procedure sets it itself (returns FALSE).
    HWND firstTabStop = nullptr;
    for (HWND child : FindWindow(dialog)->children) {
        const Window* c = FindWindow(child);
        if ((c->style & WS_TABSTOP) && c->visible && c->enabled) {
            firstTabStop = child;
            break;
        }
    }
    if (Deliver(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), initParam) != 0 &&
        firstTabStop != nullptr && FindWindow(dialog) != nullptr && !FindWindow(dialog)->ended) {
        m.focus = firstTabStop;
    }

    Window* d = FindWindow(dialog);
    const size_t record = d->record;
    if (!d->ended) {
        d->visible = true;
        d->invalid = true;
        m.dialogs[record].shown = true;
        while (true) {
            Paint(dialog);
            d = FindWindow(dialog);
            if (d->ended) {
                break;
            }
            if (m.scriptPosition >= m.script.size()) {
                m.dialogs[record].abandoned = true;
                d->ended = true;
                d->result = -1;
                break;
            }
            const HeadlessStep step = m.script[m.scriptPosition++];
            step(dialog);
            d = FindWindow(dialog);
            if (d->ended) {
                break;
            }
        }
    }
    const INT_PTR result = FindWindow(dialog)->result;
    m.dialogs[record].result = result;
    DestroyDialog(dialog);
    m.modalStack.pop_back();
    return result;
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    Window* d = FindWindow(dialog);
    if (d == nullptr || !d->dialog) {
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    return ControlHandle(dialog, id);
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    Window* c = Control(dialog, id);
    if (c == nullptr) {
        return FALSE;
    }
    c->text = text != nullptr ? text : "";
    return TRUE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
    Window* c = Control(dialog, id);
    if (c == nullptr || buffer == nullptr || size <= 0) {
        return 0;
    }
    const size_t n = std::min(c->text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, c->text.data(), n);
    buffer[n] = '\0';
    return static_cast<UINT>(n);
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
    Window* c = Control(dialog, id);
    return c == nullptr ? 0 : static_cast<UINT>(c->check);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = FindWindow(window);
    if (w == nullptr) {
        return 0;
    }
    if (w->dialog) {
        return Deliver(window, message, wParam, lParam);
    }
    switch (message) {
        case BM_GETCHECK:
            return w->check;
        case BM_SETCHECK:
            w->check = static_cast<int>(wParam);
            return 0;
        case WM_SETTEXT:
            w->text = lParam != 0 ? reinterpret_cast<LPCSTR>(lParam) : "";
            return TRUE;
        default:
            return 0;
    }
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam,
                                   LPARAM lParam) {
    return SendMessageA(ControlHandle(dialog, id), message, wParam, lParam);
}

BOOL WINAPI ShowWindow(HWND window, int command) {
    Window* w = FindWindow(window);
    if (w == nullptr) {
        return FALSE;
    }
    const BOOL wasVisible = w->visible ? TRUE : FALSE;
    w->visible = command != SW_HIDE;
    return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND window) {
    Window* w = FindWindow(window);
    return w != nullptr && w->visible ? TRUE : FALSE;
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
    Window* w = FindWindow(window);
    if (w == nullptr) {
        return FALSE;
    }
    const BOOL wasDisabled = w->enabled ? FALSE : TRUE;
    w->enabled = enable != FALSE;
    return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND window) {
    Window* w = FindWindow(window);
    return w != nullptr && w->enabled ? TRUE : FALSE;
}

HWND WINAPI SetFocus(HWND window) {
    const HWND previous = M().focus;
    if (window == nullptr || FindWindow(window) != nullptr) {
        M().focus = window;
    }
    return previous;
}

HWND WINAPI GetFocus() {
    return M().focus;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return M().screenWidth;
        case SM_CYSCREEN:
            return M().screenHeight;
        default:
            return 0;
    }
}

DWORD WINAPI GetSysColor(int index) {
    auto it = M().sysColors.find(index);
    if (it != M().sysColors.end()) {
        return it->second;
    }
    switch (index) {
        case COLOR_BTNFACE:
            return RGB(192, 192, 192);
        case COLOR_BTNTEXT:
            return RGB(0, 0, 0);
        default:
            return RGB(255, 255, 255);
    }
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    Window* w = FindWindow(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    if (w->dialog) {
        *rect = w->rect;
        return TRUE;
    }
    const POINT origin = ClientOrigin(w->parent);
    *rect = {origin.x + w->rect.left, origin.y + w->rect.top, origin.x + w->rect.right,
             origin.y + w->rect.bottom};
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    Window* w = FindWindow(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    const int width = w->rect.right - w->rect.left - (w->dialog ? 2 * kBorder : 0);
    const int height = w->rect.bottom - w->rect.top - (w->dialog ? 2 * kBorder + kCaption : 0);
    *rect = {0, 0, width, height};
    return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    const POINT a = from != nullptr ? ClientOrigin(from) : POINT{0, 0};
    const POINT b = to != nullptr ? ClientOrigin(to) : POINT{0, 0};
    const LONG dx = a.x - b.x;
    const LONG dy = a.y - b.y;
    for (UINT i = 0; points != nullptr && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return static_cast<int>(static_cast<WORD>(dx) |
                            (static_cast<DWORD>(static_cast<WORD>(dy)) << 16));
}

BOOL WINAPI SetWindowPos(HWND window, HWND /*insertAfter*/, int x, int y, int cx, int cy,
                         UINT flags) {
    Window* w = FindWindow(window);
    if (w == nullptr) {
        return FALSE;
    }
    const int width = (flags & SWP_NOSIZE) ? w->rect.right - w->rect.left : cx;
    const int height = (flags & SWP_NOSIZE) ? w->rect.bottom - w->rect.top : cy;
    if (!(flags & SWP_NOMOVE)) {
        w->rect.left = x;
        w->rect.top = y;
        if (w->dialog) {
            M().dialogs[w->record].position = POINT{x, y};
        }
    }
    w->rect.right = w->rect.left + width;
    w->rect.bottom = w->rect.top + height;
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND window, const RECT* /*rect*/, BOOL /*erase*/) {
    Window* w = FindWindow(window);
    if (w == nullptr) {
        return FALSE;
    }
    w->invalid = true;
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    Window* w = FindWindow(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (w->dialog && w->visible) {
        Paint(window);
    }
    return TRUE;
}

bool HeadlessClick(HWND dialog, int controlId) {
    const HWND handle = ControlHandle(dialog, controlId);
    Window* c = FindWindow(handle);
    if (c == nullptr || !c->visible || !c->enabled) {
        return false;
    }
    M().focus = handle;
    if (IsAutoRadio(*c)) {
        // An auto radio button checks itself and clears the others of its group: the run of
        // controls from the last WS_GROUP before it up to the next WS_GROUP.
        Window* d = FindWindow(dialog);
        size_t index = 0;
        while (d->children[index] != handle) {
            ++index;
        }
        size_t first = index;
        while (first > 0 && !(FindWindow(d->children[first])->style & WS_GROUP)) {
            --first;
        }
        for (size_t i = first; i < d->children.size(); ++i) {
            Window* other = FindWindow(d->children[i]);
            if (i > first && (other->style & WS_GROUP)) {
                break;
            }
            if (IsAutoRadio(*other)) {
                other->check = BST_UNCHECKED;
            }
        }
        c->check = BST_CHECKED;
    }
    Deliver(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
            reinterpret_cast<LPARAM>(handle));
    return true;
}

void HeadlessPressKey(HWND dialog, int virtualKey) {
    // The dialog manager turns Escape into the command IDCANCEL, and Enter into the command of
    // the default push button when that button can be pressed. A multi-line edit control keeps
    // the keys for itself, and answers Escape by sending its dialog WM_CLOSE.
    Window* focused = FindWindow(M().focus);
    const bool inMultilineEdit = focused != nullptr && focused->parent == dialog &&
                                 ::strcasecmp(focused->className.c_str(), "Edit") == 0 &&
                                 (focused->style & ES_MULTILINE) != 0;
    if (virtualKey == VK_ESCAPE && inMultilineEdit) {
        HeadlessCloseWindow(dialog);
    } else if (virtualKey == VK_ESCAPE) {
        Deliver(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                reinterpret_cast<LPARAM>(ControlHandle(dialog, IDCANCEL)));
    } else if (virtualKey == VK_RETURN && !inMultilineEdit) {
        Window* d = FindWindow(dialog);
        for (HWND child : d->children) {
            Window* c = FindWindow(child);
            if ((c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && c->className == "Button") {
                if (c->enabled && c->visible) {
                    Deliver(dialog, WM_COMMAND, MAKEWPARAM(c->id, BN_CLICKED),
                            reinterpret_cast<LPARAM>(child));
                }
                break;
            }
        }
    }
}

void HeadlessCloseWindow(HWND dialog) {
    // The close box goes to the procedure as WM_CLOSE; left to the default handling, a dialog
    // treats it as the command IDCANCEL.
    if (Deliver(dialog, WM_CLOSE, 0, 0) == 0 && FindWindow(dialog) != nullptr) {
        Deliver(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                reinterpret_cast<LPARAM>(ControlHandle(dialog, IDCANCEL)));
    }
}

void HeadlessBroadcastSettingChange(HWND dialog) {
    Deliver(dialog, WM_WININICHANGE, 0, 0);
}
