// What the user gives the host at a prompt: a typed line, a cancel (Escape), a point picked in the
// drawing, or objects picked with the mouse; and what a prompt accepts besides typed text.
#pragma once

#include <string>
#include <vector>

#include "ViewGeometry.h"
#include "dbid.h"

namespace cadhost::app {

// What a prompt takes besides typed text: at the Command prompt the mouse selects objects for the
// next command (the pick-first set); a point prompt takes a click; "Select objects:" takes picks
// and windows.
enum class InputKind { Command, Text, Point, Objects };

struct Prompt {
  std::wstring text;
  InputKind kind = InputKind::Text;
  // At a selection prompt, what is selected so far (the view highlights it).
  const std::vector<AcDbObjectId>* selection = nullptr;
};

struct UserInput {
  enum class Kind { Line, Cancel, Point, Objects };
  Kind kind = Kind::Line;
  std::wstring line;
  Point2 point;
  std::vector<AcDbObjectId> objects;
  bool removing = false;         // objects picked with Shift: to be taken out of the selection
  bool shownByTerminal = false;  // a line typed at a console, which already shows it
};

// Where the view and the command line window send what the user does.
class InputTarget {
 public:
  virtual ~InputTarget() = default;
  virtual void submit(UserInput input) = 0;
  virtual InputKind inputKind() const = 0;
  // The cursor is over the drawing at a point (the status bar shows it).
  virtual void cursorMoved(const Point2& at) = 0;
};

}  // namespace cadhost::app
