// What the host's drawing view draws of text, as a user reads the sheet: MTEXT wrapped to its width
// with its paragraphs and simple inline codes (the others left out of what is drawn), text too
// small to read drawn as a bar rather than nothing, the entities being edited highlighted; colours
// by layer and by entity, and nothing painted of a layer that is off or frozen.
#include "HostWindowDriver.h"
#include "PluginHost.h"
#include "TextLayout.h"
#include "ViewRenderer.h"
#include "dbsymtb.h"

namespace plugintest {
namespace {

using cadhost::app::LaidRun;
using cadhost::app::MTextLayout;

// The lines of a layout, top first: the text of the runs on each baseline.
std::vector<std::wstring> linesOf(const MTextLayout& layout) {
  std::vector<std::pair<double, std::wstring>> lines;
  for (const LaidRun& run : layout.runs) {
    if (lines.empty() || std::fabs(lines.back().first - run.y) > 1e-9) lines.push_back({run.y, L""});
    lines.back().second += run.text;
  }
  std::vector<std::wstring> texts;
  for (auto& line : lines) texts.push_back(line.second);
  return texts;
}

TEST(HostViewText, MTextWrapsToItsWidthKeepsItsParagraphsAndDrawsOnlyTheTextOfItsCodes) {
  cadhost::app::FontCatalog fonts;
  cadhost::app::RunStyle style;
  style.face = fonts.faceForFontFile(L"arial.ttf");
  style.height = 2.5;
  const std::wstring sentence = L"Doors to the hall are FD30 self-closing and the alarms are interlinked.";
  const double width = 60;
  const MTextLayout wrapped = cadhost::app::layoutMText(sentence + L"\\PShort.", style, width, 1.0, 1, fonts);
  const std::vector<std::wstring> lines = linesOf(wrapped);
  ASSERT_GE(lines.size(), 3u) << "the sentence was not wrapped";
  EXPECT_EQ(lines.back(), L"Short.") << "a paragraph does not begin its own line";
  std::wstring joined;
  for (size_t i = 0; i + 1 < lines.size(); ++i) joined += lines[i];
  EXPECT_EQ(joined, sentence) << "wrapping lost or repeated characters";
  for (const LaidRun& run : wrapped.runs) EXPECT_LE(run.x + run.width, width + 1e-6) << run.text;

  // Height, colour and underline codes change how runs look; an alignment code and the braces
  // around a group are not drawn.
  const MTextLayout coded =
      cadhost::app::layoutMText(L"\\A1;{\\H2x;BIG} \\C1;red \\Lunder\\l plain", style, 0, 1.0, 1, fonts);
  ASSERT_EQ(linesOf(coded), std::vector<std::wstring>{L"BIG red under plain"});
  for (const LaidRun& run : coded.runs) {
    const bool underlined = (run.style.lines & cadhost::app::kUnderline) != 0;
    if (run.text == L"BIG") {
      EXPECT_DOUBLE_EQ(run.style.height, 5.0);
    } else if (run.text.find(L"red") == 0) {
      EXPECT_EQ(run.style.aci, 1);
    } else if (run.text == L"under") {
      EXPECT_TRUE(underlined);
    } else if (run.text.find(L"plain") != std::wstring::npos) {
      EXPECT_FALSE(underlined);
    }
  }
}

// How many pixels the view shows about an entity's box (a pixel round it) that are of a colour,
// or (other) that are not.
int pixelsOfColour(cadhost::app::DrawingView& view, AcDbObjectId id, COLORREF colour, bool other = false) {
  const std::vector<COLORREF> pixels = view.screenPixels();
  RECT box = view.screenBoxOf(id);
  InflateRect(&box, 1, 1);
  int found = 0;
  for (int y = std::max<LONG>(box.top, 0); y < std::min<LONG>(box.bottom, view.transform().height); ++y)
    for (int x = std::max<LONG>(box.left, 0); x < std::min<LONG>(box.right, view.transform().width); ++x)
      if ((pixels[static_cast<size_t>(y * view.transform().width + x)] == colour) != other) ++found;
  return found;
}

TEST_F(HostWindowTest, TextTooSmallToReadIsDrawnAsABar) {
  // A long frame makes the notes a couple of pixels high, and the tiny one less than a pixel.
  append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(100000, 0, 0)));
  const AcDbObjectId small = addText(20000, 5000, L"A NOTE TOO SMALL TO READ", 200);
  const AcDbObjectId tiny = addText(20000, 8000, L"A NOTE SMALLER STILL", 40);
  show();
  cadhost::app::DrawingView& view = window().view();
  const COLORREF background = view.screenPixels()[static_cast<size_t>(view.transform().width * 2 + 2)];
  for (AcDbObjectId note : {small, tiny}) {
    RECT box = view.screenBoxOf(note);
    ASSERT_FALSE(IsRectEmpty(&box));
    EXPECT_GE(pixelsOfColour(view, note, background, true), (box.right - box.left) * 2 / 3) << "the note is not drawn as a bar";
  }
}

TEST_F(HostWindowTest, TheEntitiesBeingEditedAreHighlightedWhileTheEditorIsOpen) {
  const AcDbObjectId first = addText(0, 0, L"FIRST LINE", 10);
  const AcDbObjectId second = addText(0, -15, L"SECOND LINE", 10);
  const AcDbObjectId other = addText(0, -60, L"ANOTHER NOTE", 10);
  show();
  WindowDriver user(window());
  HWND dialog = nullptr;
  bool edited = false, added = false, otherToo = true;
  // TE first, the lines then selected at its prompt: nothing is picked before the command.
  EXPECT_TRUE(runSession({
      [&] { user.enter(L"TE"); return true; },
      [&] { return window().inputKind() == cadhost::app::InputKind::Objects; },
      [&] { user.drag(user.at(-5, -20), user.at(200, 15)); return true; },  // a window round the two lines
      [&] { user.rightClick(user.at(500, 500)); return true; },            // Enter
      [&] { return (dialog = editorDialog()) != nullptr; },
      [&] {
        HWND editor = GetDlgItem(dialog, 203);
        SendMessageW(editor, EM_SETSEL, -1, -1);
        SendMessageW(editor, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\rTHIRD LINE"));  // a new TEXT
        const std::vector<AcDbObjectId> third = textsStartingWith(L"THIRD LINE");
        edited = window().view().isHighlighted(first) && window().view().isHighlighted(second);
        added = third.size() == 1 && window().view().isHighlighted(third[0]);
        otherToo = window().view().isHighlighted(other);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
      },
      [&] { return editorDialog() == nullptr && window().inputKind() == cadhost::app::InputKind::Command; },
  }));
  EXPECT_TRUE(edited) << "the lines being edited are not highlighted";
  EXPECT_TRUE(added) << "the line the editor added is not highlighted";
  EXPECT_FALSE(otherToo);
  EXPECT_FALSE(window().view().isHighlighted(first)) << "still highlighted after the command";
}

TEST_F(HostWindowTest, ColoursComeFromTheLayerOrTheEntityAndLayersOffOrFrozenPaintNothing) {
  const AcDbObjectId red = addLayer(L"Red");
  {
    AcAxDocLock lock(db);
    AcDbLayerTableRecord* layer = nullptr;
    ASSERT_EQ(acdbOpenObject(layer, red, AcDb::kForWrite), Acad::eOk);
    layer->setColorIndex(1);
    layer->close();
  }
  auto lineOnRed = [&](double y, int colour) {
    auto* line = new AcDbLine(AcGePoint3d(0, y, 0), AcGePoint3d(100, y, 0));
    line->setLayer(red);
    if (colour != 256) line->setColorIndex(static_cast<Adesk::UInt16>(colour));
    return append(line);
  };
  const AcDbObjectId byLayer = lineOnRed(0, 256), green = lineOnRed(-20, 3);
  const AcDbObjectId plain = append(new AcDbLine(AcGePoint3d(0, -40, 0), AcGePoint3d(100, -40, 0)));  // layer 0, white
  show();
  cadhost::app::DrawingView& view = window().view();
  const COLORREF redPixel = cadhost::app::ViewRenderer::aciColor(1), greenPixel = cadhost::app::ViewRenderer::aciColor(3);
  EXPECT_GT(pixelsOfColour(view, byLayer, redPixel), 50);
  EXPECT_GT(pixelsOfColour(view, green, greenPixel), 50);
  EXPECT_EQ(pixelsOfColour(view, green, redPixel), 0) << "an entity's own colour gave way to its layer's";
  EXPECT_GT(pixelsOfColour(view, plain, cadhost::app::ViewRenderer::aciColor(7)), 50);

  WindowDriver user(window());
  EXPECT_TRUE(runSession({[&] { user.enter(L"-LAYER OFF Red"); return true; }}));
  EXPECT_EQ(pixelsOfColour(view, byLayer, redPixel) + pixelsOfColour(view, green, greenPixel), 0) << "a layer that is off painted";
  EXPECT_TRUE(runSession({[&] { user.enter(L"-LAYER ON Red"); return true; }}));
  EXPECT_GT(pixelsOfColour(view, byLayer, redPixel), 50);
  EXPECT_TRUE(runSession({[&] { user.enter(L"-LAYER FREEZE Red"); return true; }}));
  EXPECT_EQ(pixelsOfColour(view, byLayer, redPixel) + pixelsOfColour(view, green, greenPixel), 0) << "a frozen layer painted";
  EXPECT_GT(pixelsOfColour(view, plain, cadhost::app::ViewRenderer::aciColor(7)), 50);
}

}  // namespace
}  // namespace plugintest
