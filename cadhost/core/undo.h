// Inside the core: the hooks through which the database tells the undo recording what a command
// is about to change. Every change to a drawing goes through one of them: a write open, an object
// added to the drawing, an erased flag or a field's code changed without an open, a header
// setting. Outside an undo group they cost one test of a counter.
#pragma once

class AcDbImpDatabase;
class AcDbStub;

namespace cadhost_detail {

class UndoHistory;
// Frees what a drawing's history keeps (called as the drawing goes away).
void deleteUndoHistory(UndoHistory* history);

// Before the first change of an existing object (or of its erased flag) in the running group.
void undoWillChange(AcDbStub* stub);
// Before an object is added to a drawing (the handle seed is about to move), and after it was
// added, with its stub.
void undoWillAdd(AcDbImpDatabase* imp);
void undoAdded(AcDbStub* stub);
// Before a header setting of a drawing changes.
void undoWillChangeHeader(AcDbImpDatabase* imp);

}  // namespace cadhost_detail
