// The host's view commands; see ViewCommands.h.
#include "ViewCommands.h"

#include <cwctype>
#include <sstream>

#include "CommandText.h"
#include "DrawingWindow.h"
#include "acutads.h"

namespace cadhost::app {

namespace {

std::vector<std::wstring> words(const std::wstring& text) {
  std::wistringstream in(text);
  std::vector<std::wstring> result;
  for (std::wstring w; in >> w;) result.push_back(w);
  return result;
}

}  // namespace

void addViewCommands(CommandProcessor& processor, DrawingWindow& window) {
  // ZOOM [Extents | Window [corner corner] | In | Out | nX]
  processor.addHostCommand(L"ZOOM", [&processor, &window](const std::wstring& arguments) {
    std::vector<std::wstring> given = words(arguments);
    std::wstring option;
    if (given.empty()) {
      if (!processor.ask(L"Specify corner of window, enter a scale factor (nX) or [Extents/Window/In/Out] <Extents>: ", option))
        return;
      given = words(option);
    }
    option = given.empty() ? L"E" : upper(given[0]);
    DrawingView& view = window.view();
    Point2 first, second;
    if (option == L"E" || option == L"EXTENTS") {
      view.zoomExtents();
    } else if (option == L"I" || option == L"IN" || option == L"O" || option == L"OUT") {
      view.zoomAt(view.transform().width / 2, view.transform().height / 2, option[0] == L'I' ? 2.0 : 0.5);
    } else if (option == L"W" || option == L"WINDOW" || parsePoint(given[0], first)) {
      // The corners: on the command line after the option, or asked for (typed, or clicked).
      size_t next = option[0] == L'W' ? 1 : 0;
      auto corner = [&](const wchar_t* prompt, Point2& p) {
        if (next < given.size() && parsePoint(given[next], p)) {
          ++next;
          return true;
        }
        return processor.askPoint(prompt, p);
      };
      if (!corner(L"Specify first corner: ", first) || !corner(L"Specify opposite corner: ", second)) return;
      Box2 box;
      box.add(first);
      box.add(second);
      if (box.width() <= 0 || box.height() <= 0) {
        print(L"The window has no area.\n");
        return;
      }
      view.zoomWindow(box);
    } else if (option.size() > 1 && option.back() == L'X') {
      const double factor = std::wcstod(option.c_str(), nullptr);
      if (!(factor > 0)) {
        print(L"A scale factor is a positive number followed by X.\n");
        return;
      }
      view.zoomAt(view.transform().width / 2, view.transform().height / 2, factor);
    } else {
      print(L"Unknown option \"" + option + L"\".\n");
    }
  }, L"zooms: Extents, Window (two corners), In, Out, or a scale factor nX");

  processor.addHostCommand(L"REGEN", [&window](const std::wstring&) { window.view().regen(); },
                           L"makes every entity of the view again from the drawing");
}

}  // namespace cadhost::app
