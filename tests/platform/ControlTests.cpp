// The control classes on real controls of the test dialog: rich edit lines, selection, undo and
// search; combo box items; status bar panes.
#include "TestDialog.h"

#include <gtest/gtest.h>

using namespace platform_test;

namespace {

// Runs body on the open test dialog, then closes it.
void WithDialog(const std::function<void(TestDialog&)>& body)
{
    TestDialog dialog;
    Script script(&dialog);
    script.Then([&] { body(dialog); }).End(IDOK);
    EXPECT_EQ(RunModal(dialog, script), IDOK);
}

} // namespace

TEST(Controls, RichEditLinesSelectionAndSearch)
{
    WithDialog([](TestDialog& dialog) {
        CRichEditCtrl& text = dialog.m_text;
        text.SetWindowText(L"first\rsecond line\rтретья");
        EXPECT_EQ(text.GetLineCount(), 3);
        EXPECT_EQ(text.LineIndex(1), 6);
        EXPECT_EQ(text.LineIndex(2), 18);
        EXPECT_EQ(text.LineIndex(3), -1);
        EXPECT_EQ(text.LineLength(text.LineIndex(1)), 11);
        EXPECT_EQ(text.LineFromChar(20), 2);
        EXPECT_EQ(text.GetLine(1), L"second line\r");
        EXPECT_EQ(text.GetLine(2), L"третья");
        EXPECT_EQ(text.GetLine(7), L"");
        EXPECT_EQ(text.GetTextLength(), 24);

        text.SetSel(6, 12);
        CHARRANGE selection{};
        text.GetSel(selection);
        EXPECT_EQ(selection.cpMin, 6);
        EXPECT_EQ(selection.cpMax, 12);

        FINDTEXTEXW find{{0, -1}, L"LINE", {0, 0}};
        EXPECT_EQ(text.FindText(FR_DOWN, &find), 13);
        EXPECT_EQ(find.chrgText.cpMin, 13);
        EXPECT_EQ(find.chrgText.cpMax, 17);
        EXPECT_EQ(text.FindText(FR_DOWN | FR_MATCHCASE, &find), -1);
    });
}

TEST(Controls, RichEditEditingUndoRedoAndFormat)
{
    WithDialog([](TestDialog& dialog) {
        CRichEditCtrl& text = dialog.m_text;
        text.SetWindowText(L"");
        EXPECT_TRUE(text.SetTextMode(TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE));
        EXPECT_EQ(text.GetTextMode() & TM_PLAINTEXT, static_cast<UINT>(TM_PLAINTEXT));
        text.ReplaceSel(L"abc", TRUE);
        text.SetSel(1, 2);
        text.ReplaceSel(L"XYZ", TRUE);
        EXPECT_EQ(text.GetWindowText(), L"aXYZc");
        EXPECT_TRUE(text.CanUndo());
        EXPECT_TRUE(text.Undo());
        EXPECT_EQ(text.GetWindowText(), L"abc");
        EXPECT_TRUE(text.CanRedo());
        EXPECT_TRUE(text.Redo());
        EXPECT_EQ(text.GetWindowText(), L"aXYZc");

        CHARFORMAT2W format{};
        format.dwMask = CFM_FACE | CFM_SIZE;
        lstrcpynW(format.szFaceName, L"Courier New", LF_FACESIZE);
        format.yHeight = 240;
        EXPECT_TRUE(text.SetDefaultCharFormat(format));
        CHARFORMAT2W read{};
        text.GetDefaultCharFormat(read);
        EXPECT_STREQ(read.szFaceName, L"Courier New");
        EXPECT_EQ(read.yHeight, 240);

        text.SetBackgroundColor(FALSE, RGB(10, 20, 30));
        EXPECT_EQ(text.SetBackgroundColor(TRUE, 0), RGB(10, 20, 30));

        const DWORD mask = text.GetEventMask();
        EXPECT_EQ(mask & (ENM_CHANGE | ENM_SELCHANGE), static_cast<DWORD>(ENM_CHANGE | ENM_SELCHANGE));
        EXPECT_EQ(text.SetEventMask(ENM_CHANGE), mask);
    });
}

TEST(Controls, ComboBoxItems)
{
    WithDialog([](TestDialog& dialog) {
        CComboBox& combo = dialog.m_style;
        EXPECT_EQ(combo.GetCount(), 3);
        EXPECT_EQ(combo.GetLBText(2), L"Стиль");
        EXPECT_EQ(combo.GetLBText(3), L"");
        EXPECT_EQ(combo.GetLBText(-1), L"");
        EXPECT_EQ(combo.SelectString(-1, L"ann"), 1);
        EXPECT_EQ(combo.GetCurSel(), 1);
        EXPECT_EQ(combo.SelectString(-1, L"missing"), CB_ERR);
        EXPECT_EQ(combo.GetCurSel(), 1) << "a failed SelectString keeps the selection";
        EXPECT_EQ(combo.FindStringExact(-1, L"стиль"), 2);
        combo.ResetContent();
        EXPECT_EQ(combo.GetCount(), 0);
        EXPECT_EQ(combo.GetCurSel(), CB_ERR);
        EXPECT_EQ(combo.AddString(L"only"), 0);
    });
}

TEST(Controls, StatusBarPanes)
{
    WithDialog([](TestDialog& dialog) {
        CStatusBarCtrl& status = dialog.m_status;
        int edges[3] = {100, 200, -1};
        EXPECT_TRUE(status.SetParts(3, edges));
        int read[3] = {};
        EXPECT_EQ(status.GetParts(3, read), 3);
        EXPECT_EQ(read[1], 200);
        EXPECT_TRUE(status.SetText(L"Строка 1", 0, 0));
        EXPECT_TRUE(status.SetText(L"Col 7", 1, SBT_NOBORDERS));
        int type = -1;
        EXPECT_EQ(status.GetText(0, &type), L"Строка 1");
        EXPECT_EQ(type, 0);
        EXPECT_EQ(status.GetText(1, &type), L"Col 7");
        EXPECT_EQ(type, SBT_NOBORDERS);
        EXPECT_EQ(status.GetText(2), L"");
    });
}

TEST(Controls, ButtonsAndEdits)
{
    WithDialog([](TestDialog& dialog) {
        CEdit& edit = dialog.m_height;
        edit.SetWindowText(L"2.5");
        edit.SetSel(1, 3);
        int start = 0, end = 0;
        edit.GetSel(start, end);
        EXPECT_EQ(start, 1);
        EXPECT_EQ(end, 3);
        edit.ReplaceSel(L"75", TRUE);
        EXPECT_EQ(edit.GetWindowText(), L"275");
        EXPECT_TRUE(edit.Undo());
        EXPECT_EQ(edit.GetWindowText(), L"2.5");

        CButton apply;
        ASSERT_TRUE(apply.SubclassDlgItem(IDC_APPLY, &dialog));
        apply.Click();
        EXPECT_EQ(dialog.applyClicks, 1);
        apply.UnsubclassWindow();
    });
}
