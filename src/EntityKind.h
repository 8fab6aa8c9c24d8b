// What an edit run edits: the kind decides which text the editor shows and how it goes back.
#pragma once

enum EntityKind : int {
  kEntityNone = 0,       // nothing editable was found; the dialog does not open
  kEntityText = 1,       // a list of TEXT entities, one per editor line
  kEntityMText = 2,      // one MTEXT
  kEntityDimension = 3,  // one dimension
};

// The kind's name as the status bar shows it.
inline const wchar_t* EntityKindName(EntityKind kind) {
  switch (kind) {
    case kEntityText: return L"DTEXT";
    case kEntityMText: return L"MTEXT";
    case kEntityDimension: return L"DIM";
    default: return L"UNKNOWN";
  }
}
