// The resizing layout of CAdUiDialog: a table of DLGCTLINFO rows says, for each listed control,
// by what percentage of the dialog's width/height change it moves (MOVEX/MOVEY) and/or grows
// (ELASTICX/ELASTICY). Positions are computed from the rectangles and client size recorded when
// the table was handed over, so repeated resizing never accumulates rounding errors.
#pragma once

#include "platform/Win32.h"

#include <vector>

typedef struct {
    DWORD id;
    DWORD flags;
    DWORD pct;
} DLGCTLINFO;

#ifndef MOVEX
#define MOVEX 0x1
#define MOVEY 0x2
#define MOVEXY 0x3
#define ELASTICX 0x10
#define ELASTICY 0x20
#define ELASTICXY 0x30
#endif

namespace pellaton::platform {

// The rectangle of a control (in the dialog's client coordinates) for a client area that is dx
// wider and dy higher than when the control's rectangle was recorded. pct is clamped to 0..100
// and unknown flag bits are ignored; a control never gets a negative width or height.
RECT LayoutControlRect(const RECT& recorded, DWORD flags, DWORD pct, int dx, int dy) noexcept;

// The recorded state of a dialog's layout table.
class ControlLayout {
public:
    struct Control {
        DWORD id;
        DWORD flags;
        DWORD pct;
        HWND hWnd;     // null when the dialog has no such control
        RECT recorded; // in client coordinates
    };

    // Records the table against the dialog's current client size and control rectangles.
    void Record(HWND hDialog, const DLGCTLINFO* table, DWORD count);
    bool IsRecorded() const noexcept { return recorded_; }
    const std::vector<Control>& Controls() const noexcept { return controls_; }
    SIZE RecordedClientSize() const noexcept { return clientSize_; }

    // Moves and sizes the listed controls for client size (cx, cy).
    void Apply(HWND hDialog, int cx, int cy) const;

private:
    bool recorded_ = false;
    SIZE clientSize_{0, 0};
    std::vector<Control> controls_;
};

} // namespace pellaton::platform
