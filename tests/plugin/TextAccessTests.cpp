// The text of a single MTEXT or dimension in the editor: paragraphs as lines, formatting codes
// as typed, field codes instead of their values, and every edit written back at once.
#include "PluginHost.h"
#include "acdocman.h"
#include "dbfield.h"

namespace plugintest {
namespace {

class TextAccessTest : public PluginTest {
 protected:
  // Types "x" at the start and takes it back: the entity's text in between is kept, to show that
  // each keystroke was written.
  Step typeAndTakeBack(AcDbObjectId id, std::wstring& whileTyped) {
    return [this, id, &whileTyped, typed = false](Dialog& d) mutable {
      if (!typed) {
        d.select(0, 0);
        d.type(L"x");
        typed = true;
        return false;  // the keystroke is handled before the next turn
      }
      whileTyped = textOf(id);
      d.key(VK_BACK, false, false, d.editor());
      return true;
    };
  }
  std::wstring fieldCode(AcDbObjectId id) {
    AcDbEntity* entity = nullptr;
    if (acdbOpenObject(entity, id, AcDb::kForRead) != Acad::eOk) return L"<cannot open>";
    std::wstring code;
    AcDbField* field = nullptr;
    if (entity->getField(L"TEXT", field, AcDb::kForRead) == Acad::eOk) {
      code = field->getFieldCode(AcDbField::kAddMarkers);
      field->close();
    }
    entity->close();
    return code;
  }
};

TEST_F(TextAccessTest, ParagraphsOfAnMTextAreEditorLinesAndGoBackUnchanged) {
  const AcDbObjectId mtext = addMText(L"A\\PB");
  selection.pick({mtext});
  std::wstring shown, whileTyped;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); }), typeAndTakeBack(mtext, whileTyped)}));
  EXPECT_EQ(shown, L"A\rB");
  EXPECT_EQ(whileTyped, L"xA\\PB");
  EXPECT_EQ(textOf(mtext), L"A\\PB");
}

TEST_F(TextAccessTest, FormattingCodesStayAsTyped) {
  const AcDbObjectId mtext = addMText(L"{\\pxi-3,l3;\\fArial|b1;Item} one\\Ptwo\\~three");
  selection.pick({mtext});
  std::wstring shown, whileTyped;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); }), typeAndTakeBack(mtext, whileTyped)}));
  EXPECT_EQ(shown, L"{\\pxi-3,l3;\\fArial|b1;Item} one\rtwo\\~three");
  EXPECT_EQ(whileTyped, L"x{\\pxi-3,l3;\\fArial|b1;Item} one\\Ptwo\\~three");
  EXPECT_EQ(textOf(mtext), L"{\\pxi-3,l3;\\fArial|b1;Item} one\\Ptwo\\~three");
}

TEST_F(TextAccessTest, AnEscapedBackslashBeforePComesBackAsTheSameThreeCharacters) {
  const AcDbObjectId mtext = addMText(L"A\\\\PB");
  selection.pick({mtext});
  std::wstring shown, whileTyped;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); }), typeAndTakeBack(mtext, whileTyped)}));
  EXPECT_EQ(shown, L"A\\\rB");
  EXPECT_EQ(whileTyped, L"xA\\\\PB");
  EXPECT_EQ(textOf(mtext), L"A\\\\PB");
}

TEST_F(TextAccessTest, AFieldShowsItsCodeAndIsEvaluatedAfterEachWrite) {
  setAuthor(L"J. Smith");
  const AcDbObjectId mtext = addMText(L"Drawn by %<\\AcVar Author>%");
  evaluateFields(mtext);
  ASSERT_EQ(textOf(mtext), L"Drawn by J. Smith");
  selection.pick({mtext});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       shown = d.editorText();
                       d.select(static_cast<int>(shown.size()), static_cast<int>(shown.size()));
                       d.type(L"!");
                     })}));
  EXPECT_EQ(shown, L"Drawn by %<\\AcVar Author>%");
  EXPECT_EQ(textOf(mtext), L"Drawn by J. Smith!");
  EXPECT_EQ(fieldCode(mtext), L"Drawn by %<\\AcVar Author>%!");
}

TEST_F(TextAccessTest, ADimensionFieldShowsItsCodeAndPlainTypingReplacesIt) {
  setAuthor(L"J. Smith");
  const AcDbObjectId dimension = addDimension(L"<> by %<\\AcVar Author>%");
  evaluateFields(dimension);
  ASSERT_EQ(textOf(dimension), L"<> by J. Smith");
  selection.pick({dimension});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       shown = d.editorText();
                       d.select(0, -1);
                       d.type(L"plain");
                     })}));
  EXPECT_EQ(shown, L"<> by %<\\AcVar Author>%");
  EXPECT_EQ(textOf(dimension), L"plain");
  // The next run shows what was typed, not the old field.
  std::wstring again;
  selection.pick({dimension});
  EXPECT_TRUE(runTE({act([&](Dialog& d) { again = d.editorText(); })}));
  EXPECT_EQ(again, L"plain");
}

TEST_F(TextAccessTest, AnEmptyDimensionTextShowsAnEmptyEditorAndTypingOverridesIt) {
  const AcDbObjectId dimension = addDimension(L"");
  selection.pick({dimension});
  std::wstring shown = L"?";
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       shown = d.editorText();
                       d.type(L"25 mm");
                     })}));
  EXPECT_EQ(shown, L"");
  EXPECT_EQ(textOf(dimension), L"25 mm");
}

TEST_F(TextAccessTest, TheMeasurementPlaceholderIsShownAsStored) {
  const AcDbObjectId dimension = addDimension(L"<>");
  selection.pick({dimension});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
                       shown = d.editorText();
                       d.select(2, 2);
                       d.type(L" typ.");
                     })}));
  EXPECT_EQ(shown, L"<>");
  EXPECT_EQ(textOf(dimension), L"<> typ.");
}

TEST_F(TextAccessTest, AnEmptyEditorWritesEmptyContents) {
  const AcDbObjectId mtext = addMText(L"first\\Psecond");
  selection.pick({mtext});
  EXPECT_TRUE(runTE({act([](Dialog& d) {
    d.select(0, -1);
    d.key(VK_DELETE, false, false, d.editor());
  })}));
  EXPECT_EQ(textOf(mtext), L"");
}

TEST_F(TextAccessTest, EveryWriteHappensUnderTheDocumentLockAndIsShownAtOnce) {
  const AcDbObjectId mtext = addMText(L"");
  selection.pick({mtext});
  cadhost::clearHostEvents();
  EXPECT_TRUE(runTE({act([](Dialog& d) { d.type(L"abc"); })}));
  EXPECT_EQ(textOf(mtext), L"abc");
  // Each keystroke: lock, flush, display, unlock.
  std::vector<cadhost::HostEventKind> sequence;
  for (const cadhost::HostEvent& e : cadhost::hostEvents()) {
    using K = cadhost::HostEventKind;
    if (e.kind == K::DocumentLocked || e.kind == K::GraphicsFlushed || e.kind == K::DisplayUpdated ||
        e.kind == K::DocumentUnlocked)
      sequence.push_back(e.kind);
  }
  using K = cadhost::HostEventKind;
  const std::vector<K> one = {K::DocumentLocked, K::GraphicsFlushed, K::DisplayUpdated, K::DocumentUnlocked};
  ASSERT_EQ(sequence.size(), 3 * one.size());
  for (size_t i = 0; i < sequence.size(); ++i) EXPECT_EQ(sequence[i], one[i % one.size()]) << i;
}

}  // namespace
}  // namespace plugintest
