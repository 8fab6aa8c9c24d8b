// Long texts: the dialog appears with the first part of the text in the editor and takes the
// rest while it waits for the user; a key, a command or a menu first takes in all that is left,
// so that it acts on the whole text, and nothing is written back while the text loads.
#include <windows.h>
#include <richedit.h>

#include "PluginHost.h"

namespace plugintest {
namespace {

constexpr int kLongBlock = 6000;  // lines: about 130,000 characters, loaded in several pieces

class LongTextTest : public PluginTest {
 protected:
  std::vector<AcDbObjectId> longBlock() {
    std::vector<AcDbObjectId> ids;
    for (int i = 0; i < kLongBlock; ++i) ids.push_back(addText(0, -3.0 * i, L"line " + std::to_wstring(i) + L" of the note"));
    return ids;
  }
  static int editorLines(const Dialog& d) { return static_cast<int>(SendMessageW(d.editor(), EM_GETLINECOUNT, 0, 0)); }
  // The first step of a run: the dialog is shown and the text is not all in yet.
  Step stillLoading(int total) {
    return act([total](Dialog& d) {
      EXPECT_LT(editorLines(d), total) << "the text was in before the first step: nothing here waits for it";
      EXPECT_NE(d.statusPane(0), L"");  // the status bar says the text is loading
    });
  }
};

TEST_F(LongTextTest, TheRestOfALongBlockLoadsWhileTheDialogIsShownWritingNothing) {
  const auto ids = longBlock();
  selection.pick(ids);
  cadhost::clearHostEvents();
  CHARRANGE selected{};
  std::wstring status;
  EXPECT_TRUE(runTE({stillLoading(kLongBlock), waitUntil([](Dialog& d) { return editorLines(d) == kLongBlock; }),
                     act([&](Dialog& d) {
                       SendMessageW(d.editor(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selected));
                       status = d.statusPane(0);
                       const std::wstring text = d.editorText();
                       EXPECT_EQ(text.substr(0, 18), L"line 0 of the note");
                       EXPECT_EQ(text.substr(text.size() - 21), L"line 5999 of the note");
                     })}));
  // The whole text was selected as the dialog opened, and stays so as it grows.
  EXPECT_EQ(selected.cpMin, 0);
  EXPECT_GE(selected.cpMax, static_cast<LONG>(kLongBlock * 18));
  EXPECT_EQ(status, L"");
  EXPECT_EQ(cadhost::countHostEvents(cadhost::HostEventKind::GraphicsFlushed), 0);  // nothing written
  EXPECT_EQ(textOf(ids[0]), L"line 0 of the note");
  EXPECT_EQ(static_cast<int>(textsIn().size()), kLongBlock);
}

TEST_F(LongTextTest, AKeyWhileTheTextLoadsActsOnTheWholeText) {
  // Ctrl+A and a character replace every line, those still to load included.
  const auto ids = longBlock();
  selection.pick(ids);
  EXPECT_TRUE(runTE({stillLoading(kLongBlock), act([](Dialog& d) {
                       d.key('A', true, false, d.editor());
                       PostMessageW(d.editor(), WM_CHAR, L'Q', 1);
                     }),
                     settle()}));
  const std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(textOf(texts[0]), L"Q");
}

TEST_F(LongTextTest, ALineTypedWhileTheTextLoadsKeepsEveryOtherLine) {
  const auto ids = longBlock();
  selection.pick(ids);
  EXPECT_TRUE(runTE({stillLoading(kLongBlock), act([](Dialog& d) {
                       d.select(5, 5);
                       d.type(L"\r");
                     }),
                     settle()}));
  const std::vector<AcDbObjectId> texts = textsIn();
  ASSERT_EQ(static_cast<int>(texts.size()), kLongBlock + 1);
  EXPECT_EQ(textOf(ids[0]), L"line ");
  EXPECT_EQ(textOf(ids[1]), L"0 of the note");
  EXPECT_EQ(textOf(ids[kLongBlock - 1]), L"line 5998 of the note");
  EXPECT_EQ(textOf(texts.back()), L"line 5999 of the note");
}

TEST_F(LongTextTest, AnMTextTypedIntoWhileItLoadsKeepsAllItsParagraphs) {
  std::wstring contents;
  for (int i = 0; i < 2000; ++i) contents += (i ? L"\\P" : L"") + std::wstring(L"Paragraph ") + std::to_wstring(i) + L" of the schedule of finishes";
  const AcDbObjectId mtext = addMText(contents);
  selection.pick({mtext});
  EXPECT_TRUE(runTE({stillLoading(2000), act([](Dialog& d) {
                       d.select(0, 0);
                       d.type(L"X");
                     }),
                     settle()}));
  const std::wstring written = textOf(mtext);
  EXPECT_TRUE(written == L"X" + contents) << "the MTEXT holds " << written.size() << " characters, starting "
                                          << testing::PrintToString(written.substr(0, 20));
}

// A tool that replaces a long text gives the editor the result piece by piece too: the drawing
// has it at once, the editor all of it in the end, with the selection the tool leaves.
TEST_F(LongTextTest, UppercaseOfALongBlockReachesTheDrawingAtOnceAndTheEditorInTheEnd) {
  const auto ids = longBlock();
  selection.pick(ids);
  std::wstring text;
  CHARRANGE selected{};
  EXPECT_TRUE(runTE({waitUntil([](Dialog& d) { return editorLines(d) == kLongBlock; }), act([](Dialog& d) {
                       d.key('A', true, false, d.editor());
                       d.key('U', true, false, d.editor());
                     }),
                     waitUntil([](Dialog& d) { return editorLines(d) == kLongBlock; }), act([&](Dialog& d) {
                       text = d.editorText();
                       SendMessageW(d.editor(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selected));
                     })}));
  EXPECT_EQ(textOf(ids[0]), L"LINE 0 OF THE NOTE");
  EXPECT_EQ(textOf(ids[kLongBlock - 1]), L"LINE 5999 OF THE NOTE");
  EXPECT_EQ(text.find(L"of the"), std::wstring::npos);
  EXPECT_EQ(text.substr(text.size() - 21), L"LINE 5999 OF THE NOTE");
  EXPECT_EQ(selected.cpMin, 0);
  EXPECT_GE(selected.cpMax, static_cast<LONG>(text.size()));
}

TEST_F(LongTextTest, ASelectionFarDownKeepsItsPlaceAfterTheToolHasReplacedTheText) {
  const auto ids = longBlock();
  selection.pick(ids);
  LONG start = 0, end = 0;
  CHARRANGE selected{};
  std::wstring shown;
  EXPECT_TRUE(runTE({waitUntil([](Dialog& d) { return editorLines(d) == kLongBlock; }), act([&](Dialog& d) {
                       start = static_cast<LONG>(SendMessageW(d.editor(), EM_LINEINDEX, 5000, 0));
                       end = start + 9;  // "line 5000"
                       d.select(start, end);
                       d.key('U', true, false, d.editor());
                     }),
                     waitUntil([](Dialog& d) { return editorLines(d) == kLongBlock; }), settle(), act([&](Dialog& d) {
                       SendMessageW(d.editor(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selected));
                       shown = d.editorText().substr(static_cast<size_t>(start), 9);
                     })}));
  EXPECT_EQ(textOf(ids[5000]), L"LINE 5000 of the note");
  EXPECT_EQ(textOf(ids[4999]), L"line 4999 of the note");
  EXPECT_EQ(shown, L"LINE 5000");
  EXPECT_EQ(selected.cpMin, start);
  EXPECT_EQ(selected.cpMax, end);
}

}  // namespace
}  // namespace plugintest
