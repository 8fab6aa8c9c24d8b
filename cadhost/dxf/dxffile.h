// Reading and writing drawing files in the drawing exchange format (DXF), ASCII and binary,
// from R12 (AC1009) to R2018 (AC1032), over the host's drawing database.
//
// A drawing is read into a database: every entity and object the host models (texts, multi-line
// texts, dimensions, lines, circles, arcs, polylines, block references, layers, text styles,
// dimension styles, blocks, layouts, fields) becomes the host's object with its handle, owner and
// properties; everything else becomes an unmodeled entity or object. Each object keeps what the
// file held for it (the bytes of its record), and the file keeps the order of everything, its
// comments, class definitions, thumbnail and any bytes the host does not understand. Every record
// is checked as the file is read; plain entities then stay in the file until they are first used
// (a large file is mapped rather than copied, see filerecord.h), so that a large drawing costs
// little more memory than what is opened of it.
//
// Writing gives back the file as it was read, byte for byte, except where the drawing changed:
// objects changed since they were read are written again from their own record with only the
// changed values replaced; new entities are written at the end of their block's entity list (model
// and paper space entities at the end of the ENTITIES section, block entities before their
// block's ENDBLK), new objects at the end of the OBJECTS section; erased objects are left out
// together with what they own and the references other objects hold to them; the handle seed
// follows the handles that were given out. A drawing that was not read from a file is written as
// a new R2018 drawing.
//
// Text is decoded at the edge: UTF-8 for AC1021 (R2007) and later, the drawing's code page
// ($DWGCODEPAGE) and \U+XXXX escapes for older drawings, and the caret notation of control
// characters (^J, ^I, "^ " for a caret) in every version.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "../sdk/dbmain.h"

namespace cadhost::dxf {

enum class Severity {
  Warning,  // the file was damaged and has been repaired, or something in it could not be used
  Error,    // the file was refused (reading) or not written (writing)
};

// One problem found in a file, with where it was found: the line of an ASCII file or the byte
// offset of a binary one (-1 when the problem has no place).
struct Message {
  Severity severity = Severity::Warning;
  std::wstring text;
  long long line = -1;
  long long offset = -1;
  // "line 12: text", "byte 4096: text" or just the text.
  std::wstring toString() const;
};

struct ReadOptions {
  // Loads what can be read from a file that ends before its sections are complete (as a CAD
  // program's recover command does) instead of refusing it; the loss is reported.
  bool recover = false;
  // At most this many messages are kept; the rest are counted in a last message.
  size_t maxMessages = 200;
  // A file of at least this many bytes has its entities read ahead on a second core, where the
  // machine has one (the drawing read is the same either way).
  size_t secondCoreFrom = 4 << 20;
};

enum class FileFormat { Ascii, Binary };

struct ReadResult {
  std::unique_ptr<AcDbDatabase> database;  // null when the file was refused
  std::vector<Message> messages;           // warnings for repairs; an error when refused
  std::string version;                     // $ACADVER as read, e.g. "AC1015"; "AC1009" if none
  FileFormat format = FileFormat::Ascii;

  bool ok() const { return database != nullptr; }
  bool hasWarnings() const;
  // The error (or every message) as lines of text, for the command line.
  std::wstring report() const;
};

// Reads a drawing file. The database's file name is set to the path.
ReadResult readDrawing(const std::wstring& path, const ReadOptions& options = {});
// Reads a drawing from bytes in memory (a copy is kept); name is used in messages and as the
// database's file name.
ReadResult readDrawingFromMemory(const void* data, size_t size, const std::wstring& name = L"",
                                 const ReadOptions& options = {});

struct WriteResult {
  bool ok = false;
  std::vector<Message> messages;  // an error when nothing was written; warnings otherwise
  size_t bytesWritten = 0;
  std::wstring report() const;
};

// Writes a drawing to a file safely: the bytes go to a temporary file beside the target, which is
// flushed to the disk and then renamed over the target, so that a failure or a crash never leaves
// a damaged or half-written drawing and the previous file stays as it was. No object may be open
// for write while the drawing is written. On success the database's file name becomes the path.
WriteResult writeDrawing(AcDbDatabase* db, const std::wstring& path);
// Writes a drawing into memory instead.
WriteResult writeDrawingToMemory(AcDbDatabase* db, std::string& bytes);

// A save of a drawing with at least this many entities made from its file since it was read
// patches the changed ones on a second core as well (where the machine has one); the bytes written
// are the same either way. 256 unless set (tests set it to write both ways); returns the previous
// value.
size_t setPatchAheadFrom(size_t changedEntities);

}  // namespace cadhost::dxf
