// The agreement dialog driven as a person would drive it, through the loader and the headless
// stand-in's modal loop.
#include <gtest/gtest.h>

#include <string>

#include "host/agreement_dialog.h"
#include "resources/resource_ids.h"
#include "tests/support/agreement_fixture.h"

namespace {

const std::string kText = "LICENSE AGREEMENT\r\nYou may install this product on one machine.\r\n";

std::string ControlText(HWND dialog, int id) {
    char buffer[4096];
    GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
    return buffer;
}

class AgreementDialog : public AgreementFixture {
  protected:
    void SetUp() override {
        AgreementFixture::SetUp();
        WriteLicense(kText);
    }
};

HeadlessStep Click(int id) {
    return [id](HWND d) { EXPECT_TRUE(HeadlessClick(d, id)) << "control " << id; };
}

TEST_F(AgreementDialog, OpensWithTheTextShownAndContinueDisabledUntilAChoice) {
    bool looked = false;
    const AgreementRun run =
        Run("", {[&](HWND d) {
                     looked = true;
                     EXPECT_EQ(ControlText(d, IDC_AGREEMENT_TEXT), kText);
                     EXPECT_EQ(ControlText(d, IDC_WELCOME_TEXT), kAgreementWelcomeText);
                     EXPECT_EQ(ControlText(d, IDC_CANCEL_BUTTON), "Cancel");
                     EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_CANCEL_BUTTON)));
                     EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_PICTURE_FRAME)));
                     EXPECT_EQ(GetFocus(), GetDlgItem(d, IDC_AGREEMENT_TEXT));
                     EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_CONTINUE)));
                     EXPECT_FALSE(HeadlessClick(d, IDC_CONTINUE));
                     EXPECT_FALSE(IsDlgButtonChecked(d, IDC_ACCEPT));
                     EXPECT_FALSE(IsDlgButtonChecked(d, IDC_DECLINE));
                     EXPECT_EQ(activeAgreementDialog, d);
                 },
                 Click(IDC_DECLINE),
                 [](HWND d) { EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_CONTINUE))); },
                 Click(IDC_ACCEPT),
                 [](HWND d) {
                     EXPECT_TRUE(IsDlgButtonChecked(d, IDC_ACCEPT));
                     EXPECT_FALSE(IsDlgButtonChecked(d, IDC_DECLINE))
                         << "one radio button clears the other";
                     EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_CONTINUE)));
                 },
                 Click(IDC_CONTINUE)});
    EXPECT_TRUE(looked);
    EXPECT_EQ(run.result, 1);
    EXPECT_TRUE(HeadlessMessageBoxes().empty());
    EXPECT_EQ(activeAgreementDialog, nullptr);
    EXPECT_EQ(currentAgreement, nullptr);
}

TEST_F(AgreementDialog, OnlyContinueWithAcceptSelectedAccepts) {
    const HeadlessStep escape = [](HWND d) { HeadlessPressKey(d, VK_ESCAPE); };
    const HeadlessStep close = [](HWND d) { HeadlessCloseWindow(d); };
    const HeadlessStep enter = [](HWND d) { HeadlessPressKey(d, VK_RETURN); };
    const HeadlessStep focusText = [](HWND d) { SetFocus(GetDlgItem(d, IDC_AGREEMENT_TEXT)); };
    const HeadlessStep focusDecline = [](HWND d) { SetFocus(GetDlgItem(d, IDC_DECLINE)); };
    struct Case {
        const char* what;
        std::vector<HeadlessStep> person;
        int result;
    };
    const Case cases[] = {
        {"accept, Continue", {Click(IDC_ACCEPT), Click(IDC_CONTINUE)}, 1},
        {"accept, Enter presses Continue", {Click(IDC_ACCEPT), enter}, 1},
        {"decline, Continue", {Click(IDC_DECLINE), Click(IDC_CONTINUE)}, 0},
        {"accept, then decline, Continue",
         {Click(IDC_ACCEPT), Click(IDC_DECLINE), Click(IDC_CONTINUE)},
         0},
        {"Cancel", {Click(IDC_CANCEL_BUTTON)}, 0},
        {"Cancel after accepting", {Click(IDC_ACCEPT), Click(IDC_CANCEL_BUTTON)}, 0},
        {"close box before choosing", {close}, 0},
        {"close box after choosing accept", {Click(IDC_ACCEPT), close}, 0},
        {"Escape does nothing, then Continue",
         {Click(IDC_ACCEPT), escape, escape, Click(IDC_CONTINUE)},
         1},
        // The focus starts in the agreement text, whose multi-line edit control turns Escape
        // into WM_CLOSE: there it is the close box, never an acceptance.
        {"Escape in the text closes as the close box does", {escape}, 0},
        {"Escape in the text after choosing accept", {Click(IDC_ACCEPT), focusText, escape}, 0},
        {"Enter in the text does not press Continue",
         {Click(IDC_ACCEPT), focusText, enter, Click(IDC_CANCEL_BUTTON)},
         0},
        {"Enter before a choice does nothing",
         {focusDecline, enter, Click(IDC_DECLINE), Click(IDC_CONTINUE)},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HeadlessReset();
        HeadlessSetWindowsDirectory(dir.string());
        EXPECT_EQ(Run("standard", c.person).result, c.result);
        ASSERT_EQ(HeadlessDialogs().size(), 1u);
        EXPECT_TRUE(HeadlessDialogs()[0].shown);
    }
}

TEST_F(AgreementDialog, TrueInAnyCaseSelectsTheBetaVariant) {
    struct Case {
        const char* param;
        bool beta;
    };
    const Case cases[] = {{"TRUE", true},   {"true", true},   {"tRuE", true}, {"", false},
                          {"FALSE", false}, {"TRUE ", false}, {"yes", false}, {nullptr, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.param != nullptr ? c.param : "(null)");
        HeadlessReset();
        HeadlessSetWindowsDirectory(dir.string());
        bool cancelVisible = !c.beta;
        const AgreementRun run =
            Run(c.param, {[&](HWND d) {
                              cancelVisible = IsWindowVisible(GetDlgItem(d, IDC_CANCEL_BUTTON));
                              EXPECT_EQ(ControlText(d, IDC_CANCEL_BUTTON), "Cancel");
                          },
                          Click(IDC_ACCEPT), Click(IDC_CONTINUE)});
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(cancelVisible, !c.beta);
        ASSERT_EQ(HeadlessBitmaps().size(), 1u);
        EXPECT_EQ(HeadlessBitmaps()[0].resourceId, c.beta ? IDB_BETA_LOGO : IDB_STANDARD_LOGO);
        ASSERT_FALSE(HeadlessBlits().empty());
        EXPECT_EQ(HeadlessBlits()[0].sourceBitmap, HeadlessBitmaps()[0].handle);
    }
}

TEST_F(AgreementDialog, BitmapIsBlittedAtItsSizeFromTheFrameCornerAndClippedToTheFrame) {
    struct Case {
        int baseX, baseY;
    };
    // At 6 x 13 the 108 x 52 unit frame is 162 x 85 pixels: the whole bitmap fits. At 2 x 4 it is
    // 54 x 26 pixels: the copy is cut to the frame.
    for (const Case& c : {Case{6, 13}, Case{2, 4}}) {
        SCOPED_TRACE(c.baseX);
        HeadlessReset();
        HeadlessSetWindowsDirectory(dir.string());
        HeadlessSetDialogBaseUnits(c.baseX, c.baseY);
        RECT frame{};
        HWND dialog = nullptr;
        Run("", {[&](HWND d) {
                     dialog = d;
                     HWND f = GetDlgItem(d, IDC_PICTURE_FRAME);
                     GetWindowRect(f, &frame);
                     MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&frame), 2);
                 },
                 Click(IDC_CANCEL_BUTTON)});
        ASSERT_EQ(HeadlessBlits().size(), 1u) << "painted once when shown";
        const HeadlessBlit& blit = HeadlessBlits()[0];
        EXPECT_EQ(blit.destWindow, dialog);
        EXPECT_EQ(blit.x, frame.left);
        EXPECT_EQ(blit.y, frame.top);
        EXPECT_EQ(blit.x, 10 * c.baseX / 4) << "the frame's corner, in dialog client pixels";
        EXPECT_EQ(blit.cx, std::min<LONG>(108, frame.right - frame.left));
        EXPECT_EQ(blit.cy, std::min<LONG>(52, frame.bottom - frame.top));
        EXPECT_EQ(blit.sx, 0);
        EXPECT_EQ(blit.sy, 0);
        EXPECT_EQ(blit.rop, SRCCOPY);
        EXPECT_EQ(HeadlessBitmaps()[0].width, 108) << "read from the bitmap file";
        EXPECT_EQ(HeadlessBitmaps()[0].height, 52);
    }
}

TEST_F(AgreementDialog, IsCentredOnTheScreenAndMayStartAboveAndLeftOfIt) {
    for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{320, 200}}) {
        HeadlessReset();
        HeadlessSetWindowsDirectory(dir.string());
        HeadlessSetScreenSize(width, height);
        RECT window{};
        Run("", {[&](HWND d) { GetWindowRect(d, &window); }, Click(IDC_CANCEL_BUTTON)});
        const LONG w = window.right - window.left, h = window.bottom - window.top;
        EXPECT_EQ(window.left, (width - w) / 2);
        EXPECT_EQ(window.top, (height - h) / 2);
        if (width == 320) {
            EXPECT_LT(window.left, 0);
            EXPECT_LT(window.top, 0);
        }
    }
}

TEST_F(AgreementDialog, ShowsTheTextUpToItsFirstZeroByte) {
    WriteLicense(std::string("First part.\r\n\0hidden tail", 25));
    std::string shown;
    Run("",
        {[&](HWND d) { shown = ControlText(d, IDC_AGREEMENT_TEXT); }, Click(IDC_CANCEL_BUTTON)});
    EXPECT_EQ(shown, "First part.\r\n");
}

TEST_F(AgreementDialog, SettingChangeReplacesTheBrushAndRepaintsAtOnce) {
    int paintsBefore = 0, paintsAfter = 0;
    Run("", {[&](HWND d) {
                 paintsBefore = HeadlessDialogs()[0].paints;
                 HeadlessSetSysColor(COLOR_BTNFACE, RGB(10, 20, 30));
                 HeadlessBroadcastSettingChange(d);
                 paintsAfter = HeadlessDialogs()[0].paints;
             },
             Click(IDC_CANCEL_BUTTON)});
    ASSERT_EQ(HeadlessBrushes().size(), 2u);
    EXPECT_EQ(HeadlessBrushes()[0].colour, RGB(192, 192, 192));
    EXPECT_EQ(HeadlessBrushes()[1].colour, RGB(10, 20, 30));
    EXPECT_TRUE(HeadlessBrushes()[0].deleted);
    EXPECT_EQ(paintsAfter, paintsBefore + 1) << "updated at once, not on the next loop turn";
    EXPECT_EQ(HeadlessBlits().size(), 2u);
}

TEST_F(AgreementDialog, ColourMessagesPaintWithTheButtonFace) {
    Run("", {[&](HWND d) {
                 HDC dc = CreateCompatibleDC(nullptr);
                 for (UINT message : {WM_CTLCOLOREDIT, WM_CTLCOLORBTN, WM_CTLCOLORSTATIC}) {
                     SetTextColor(dc, RGB(1, 2, 3));
                     SetBkColor(dc, RGB(4, 5, 6));
                     EXPECT_EQ(SendMessageA(d, message, reinterpret_cast<WPARAM>(dc), 0),
                               reinterpret_cast<LRESULT>(agreementBrush));
                     EXPECT_EQ(HeadlessTextColor(dc), GetSysColor(COLOR_BTNTEXT));
                     EXPECT_EQ(HeadlessBkColor(dc), GetSysColor(COLOR_BTNFACE));
                 }
                 SetTextColor(dc, RGB(1, 2, 3));
                 EXPECT_EQ(SendMessageA(d, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), 0),
                           reinterpret_cast<LRESULT>(agreementBrush));
                 EXPECT_EQ(HeadlessTextColor(dc), RGB(1, 2, 3)) << "the dialog's own: brush only";
                 for (UINT message : {WM_CTLCOLORLISTBOX, WM_CTLCOLORSCROLLBAR}) {
                     EXPECT_EQ(SendMessageA(d, message, reinterpret_cast<WPARAM>(dc), 0), FALSE);
                 }
                 DeleteDC(dc);
             },
             Click(IDC_CANCEL_BUTTON)});
}

TEST_F(AgreementDialog, ANestedCallEndsAtOnceAndLeavesTheOpenDialogIntact) {
    AgreementRun nested;
    HBRUSH brush = nullptr;
    HBITMAP bitmap = nullptr;
    Run("", {[&](HWND d) {
                 brush = agreementBrush;
                 bitmap = agreementBitmap;
                 HostTable table(2, 32, 16, {}, "TRUE");
                 nested.result = LxLoadDialog(&table.params);
                 nested.dllreturn = table.Lookup("%DLLRETURN%");
                 EXPECT_EQ(activeAgreementDialog, d);
                 EXPECT_EQ(agreementBrush, brush);
                 EXPECT_EQ(agreementBitmap, bitmap);
                 EXPECT_EQ(HeadlessLive().brushes, 1);
                 EXPECT_EQ(HeadlessLive().bitmaps, 1);
             },
             Click(IDC_ACCEPT), Click(IDC_CONTINUE)});
    EXPECT_EQ(nested.result, 0);
    EXPECT_EQ(nested.dllreturn, "0");
    ASSERT_EQ(HeadlessDialogs().size(), 2u);
    EXPECT_FALSE(HeadlessDialogs()[1].shown) << "the person sees nothing of it";
    EXPECT_EQ(HeadlessDialogs()[0].result, 1) << "the first one still accepts";
    EXPECT_EQ(HeadlessBrushes().size(), 1u) << "the turned-away dialog made no brush";
}

TEST_F(AgreementDialog, TheDialogProcedureItselfTurnsAwayAMissingParameterBlock) {
    // Exported, so a caller could run it without a block: it ends at once, leaving nothing.
    HeadlessScriptPerson({});
    EXPECT_EQ(DialogBoxParamA(moduleInstance, "AGREEMENT", nullptr, CovenixAgreementDlgProc, 0), 0);
    EXPECT_FALSE(HeadlessDialogs()[0].shown);
    EXPECT_EQ(HeadlessLive().brushes, 0);
}

}  // namespace
