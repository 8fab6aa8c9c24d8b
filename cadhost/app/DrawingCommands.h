// The host program's drawing file commands: OPEN, SAVE, SAVEAS and QUIT (EXIT), which asks
// whether to save a drawing with unsaved changes first. The host shows one drawing at a time.
#pragma once

#include <string>

#include "CommandProcessor.h"

class AcDbDatabase;

namespace cadhost::app {

class DrawingWindow;

class DrawingCommands {
 public:
  DrawingCommands(CommandProcessor& processor, DrawingWindow& window);

  // Opens a drawing file as the current drawing; false with the reader's report on the command
  // line when it cannot be read (the current drawing then stays).
  bool open(const std::wstring& path);
  // Shows a drawing made in memory (the demonstration drawing), as not yet saved anywhere.
  void show(AcDbDatabase* db, const std::wstring& title);
  bool save(const std::wstring& path);
  bool hasUnsavedChanges() const;

 private:
  // Asks whether to save unsaved changes; false when the user cancels (or saving failed).
  bool settleUnsavedChanges();
  AcDbDatabase* current() const;
  std::wstring currentPath() const;

  CommandProcessor& mProcessor;
  DrawingWindow& mWindow;
  unsigned long long mSavedChangeCount = 0;
};

}  // namespace cadhost::app
