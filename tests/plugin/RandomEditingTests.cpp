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

TEST_F(RandomEditingTest, TheDrawingFollowsTheEditorThroughARandomSession) { session(20261207, 150, 5); }

TEST_F(RandomEditingTest, TheDrawingFollowsTheEditorThroughAnotherRandomSession) { session(4242, 150, 5); }

}  // namespace
}  // namespace plugintest
