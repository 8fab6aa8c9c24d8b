// Long random editing sessions on a TEXT block: typing, line breaks, deletions, pastes, undo,
// redo and alignment in any order. After every turn the drawing must match the editor: one TEXT
// per editor line holding that line, top to bottom, and no entity left open.
#include <algorithm>
#include <random>
#include <sstream>

#include "PluginHost.h"

namespace plugintest {
namespace {

class RandomEditingTest : public PluginTest {
 protected:
  std::vector<std::wstring> editorLines(const Dialog& d) {
    std::vector<std::wstring> lines(1);
    for (wchar_t c : d.editorText()) {
      if (c == L'\r') lines.emplace_back();
      else lines.back() += c;
    }
    return lines;
  }
  // The texts of the live TEXT entities, top line first.
  std::vector<std::wstring> drawingLines() {
    std::vector<std::pair<double, std::wstring>> lines;
    for (AcDbObjectId id : textsIn()) lines.emplace_back(positionOf(id).y, textOf(id));
    std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::wstring> texts;
    for (auto& line : lines) texts.push_back(line.second);
    return texts;
  }

  void session(unsigned seed, int turns, int actionsPerTurn) {
    std::vector<AcDbObjectId> lines;
    for (int i = 0; i < 6; ++i) lines.push_back(addText(0, 60 - 10.0 * i, L"line " + std::to_wstring(i)));
    std::shuffle(lines.begin(), lines.end(), std::mt19937(seed));  // any selection order
    selection.pick(lines);

    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::wstring alphabet = L"abcXYZ 019.,-Жжщ%";
    std::vector<Step> steps;
    int checks = 0;
    auto check = [&](Dialog& d) {
      const std::vector<std::wstring> editor = editorLines(d);
      ASSERT_EQ(static_cast<int>(editor.size()), static_cast<int>(SendMessageW(d.editor(), EM_GETLINECOUNT, 0, 0)));
      ASSERT_EQ(drawingLines(), editor) << "after turn " << checks;
      ASSERT_EQ(cadhost::openObjectCount(db), 0);
      ++checks;
    };
    for (int turn = 0; turn < turns; ++turn) {
      steps.push_back(act([&, turn](Dialog& d) {
        check(d);
        const int length = static_cast<int>(d.editorText().size());
        const int lineCount = static_cast<int>(SendMessageW(d.editor(), EM_GETLINECOUNT, 0, 0));
        for (int a = 0; a < actionsPerTurn; ++a) {
          const int at = pick(length + 1);
          int action = pick(100);
          if (lineCount > 30 && action < 40) action += 40;  // keep the block from growing without end
          if (action < 30) {
            d.select(at, at);
            d.type(std::wstring(1, alphabet[static_cast<size_t>(pick(static_cast<int>(alphabet.size())))]));
          } else if (action < 40) {
            d.select(at, at);
            d.key(VK_RETURN, false, false, d.editor());
          } else if (action < 55) {
            d.select(at, at);
            d.key(pick(2) ? VK_BACK : VK_DELETE, false, false, d.editor());
          } else if (action < 62) {
            d.select(at, std::min(length, at + pick(12)));
            d.key(VK_DELETE, false, false, d.editor());
          } else if (action < 70) {
            std::wstring pasted = L"p" + std::to_wstring(turn);
            for (int n = pick(3); n > 0; --n) pasted += L"\r\nq" + std::to_wstring(n);
            setClipboardText(pasted);
            d.select(at, at);
            PostMessageW(d.editor(), WM_PASTE, 0, 0);
          } else if (action < 80) {
            d.key('Z', true, false, d.editor());
          } else if (action < 86) {
            d.key('Y', true, false, d.editor());
          } else if (action < 93) {
            d.command(207);
          } else {
            d.command(208);
          }
        }
      }));
    }
    steps.push_back(act(check));
    EXPECT_TRUE(runTE(steps));
    EXPECT_EQ(checks, turns + 1);
    EXPECT_EQ(cadhost::openObjectCount(db), 0);
  }
};

// One random action at a time, each handled before the next, either typed through the dialog's
// message loop (where a keystroke reads only the lines it touched) or sent to the editor directly
// (where the dialog, seeing no keystroke arrive, reads the whole text and compares every line).
// Both ways must leave the same drawing: every TEXT with its place and its text.
class BothWaysTest : public RandomEditingTest {
 protected:
  using Drawing = std::vector<std::tuple<double, double, std::wstring>>;

  Drawing editedDrawing(unsigned seed, int actions, bool throughLoop) {
    for (AcDbObjectId id : textsIn()) eraseEntity(id);
    setAuthor(L"Ann");
    std::vector<AcDbObjectId> lines;
    for (int i = 0; i < 8; ++i)
      lines.push_back(addText(0, 80 - 10.0 * i, i == 3 ? L"by %<\\AcVar Author>%" : L"line " + std::to_wstring(i)));
    selection.pick(lines);

    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto press = [&](const Dialog& d, UINT vk, bool ctrl, wchar_t character) {
      if (throughLoop) {
        d.key(vk, ctrl, false, d.editor());
        return;
      }
      BYTE state[256];
      GetKeyboardState(state);
      state[VK_CONTROL] = state[VK_LCONTROL] = ctrl ? 0x80 : 0;
      state[VK_SHIFT] = state[VK_LSHIFT] = 0;
      SetKeyboardState(state);
      const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
      SendMessageW(d.editor(), WM_KEYDOWN, vk, 1 | scan);
      if (character != 0) SendMessageW(d.editor(), WM_CHAR, character, 1 | scan);
      SendMessageW(d.editor(), WM_KEYUP, vk, 1 | scan | static_cast<LPARAM>(0xC0000000u));
    };
    auto typeCharacter = [&](const Dialog& d, wchar_t c) {
      if (throughLoop) PostMessageW(d.editor(), WM_CHAR, c, 1);
      else SendMessageW(d.editor(), WM_CHAR, c, 1);
    };

    const std::wstring alphabet = L"abXY 09.%Жщ";
    std::vector<Step> steps;
    for (int n = 0; n < actions; ++n) {
      steps.push_back(act([&, n](Dialog& d) {
        const int length = static_cast<int>(d.editorText().size());
        const int at = pick(length + 1);
        const int action = pick(100);
        if (action < 35) {
          d.select(at, at);
          typeCharacter(d, alphabet[static_cast<size_t>(pick(static_cast<int>(alphabet.size())))]);
        } else if (action < 47) {
          d.select(at, std::min(length, at + pick(3)));
          press(d, VK_RETURN, false, L'\r');
        } else if (action < 65) {
          d.select(at, at);
          if (pick(2)) press(d, VK_BACK, false, L'\b');
          else press(d, VK_DELETE, false, 0);
        } else if (action < 72) {
          d.select(at, std::min(length, at + pick(15)));
          press(d, VK_DELETE, false, 0);
        } else if (action < 82) {
          setClipboardText(L"p" + std::to_wstring(n) + (pick(2) ? L"\r\nq" : L""));
          d.select(at, std::min(length, at + pick(4)));
          press(d, 'V', true, 0);
        } else if (action < 88) {
          d.select(at, std::min(length, at + pick(6)));
          press(d, 'X', true, 0);
        } else if (action < 95) {
          press(d, 'Z', true, 0);
        } else {
          press(d, 'Y', true, 0);
        }
      }));
    }
    Drawing drawing;
    steps.push_back(act([&](Dialog& d) {
      const std::vector<std::wstring> editor = editorLines(d);
      std::vector<std::wstring> texts;
      for (AcDbObjectId id : textsIn()) {
        drawing.emplace_back(-positionOf(id).y, positionOf(id).x, textOf(id));
        texts.push_back(textOf(id));
      }
      EXPECT_EQ(texts.size(), editor.size());
    }));
    EXPECT_TRUE(runTE(steps));
    std::sort(drawing.begin(), drawing.end());
    return drawing;
  }
};

TEST_F(BothWaysTest, KeystrokesThatReadTheirOwnLinesLeaveTheDrawingAsReadingEveryLineDoes) {
  for (unsigned seed : {7u, 2026u, 99u}) {
    const Drawing throughLoop = editedDrawing(seed, 120, true);
    const Drawing sentDirectly = editedDrawing(seed, 120, false);
    ASSERT_FALSE(throughLoop.empty());
    EXPECT_EQ(throughLoop, sentDirectly) << "seed " << seed;
  }
}

TEST_F(RandomEditingTest, TheDrawingFollowsTheEditorThroughARandomSession) { session(20261207, 150, 5); }

TEST_F(RandomEditingTest, TheDrawingFollowsTheEditorThroughAnotherRandomSession) { session(4242, 150, 5); }

}  // namespace
}  // namespace plugintest
