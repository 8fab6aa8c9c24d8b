// Fields: text computed from an expression such as %<\AcVar Date \f "d.MM.yyyy">% and kept
// with the object whose text shows it.
#pragma once

#include <string>

#include "dbmain.h"

namespace AcFd {
// When an evaluation is asked for; the host evaluates every field on any of them.
enum EvalContext {
  kOpen = 1 << 0, kSave = 1 << 1, kPlot = 1 << 2, kEtransmit = 1 << 3, kRegen = 1 << 4,
  kPreview = 1 << 5, kDemand = 1 << 6, kAll = 0x7F
};
enum EvalFields { kEvalRecursive = 0x1 };
}  // namespace AcFd

// Expressions a field understands (letter case of the names is ignored):
//   \AcVar Filename [\f "%fn0".."%fn7"]  the drawing's file: 0 full path and name, 1 folder,
//                                        2 name with extension, 6 name without extension
//   \AcVar Date [\f "format"]            now (or the host's fixed test clock); format letters
//                                        d dd ddd dddd M MM MMM MMMM yy yyyy h hh H HH m mm s ss tt
//   \AcVar Author|Title|Subject|Keywords|Comments|LastSavedBy   the drawing's summary information
//   \AcObjProp Object(%<\_ObjId N>%).Prop [\f "%lu2%pr3"]  a property of another object, N its
//                                        handle in decimal: TextString, Contents, Height, Rotation,
//                                        Layer, Length, Radius, Diameter, Area, Measurement; the
//                                        format gives linear units (%luN) and precision (%prN)
// An expression that cannot be evaluated shows "####", as the host does.
class ACCORE_PORT AcDbField : public AcDbObject {
 public:
  ACRX_DECLARE_MEMBERS(AcDbField);
  enum FieldCodeFlag {
    kFieldCode = 0x1,        // the code with child fields as %<\_FldIdx n>%
    kEvaluatedText = 0x2,    // the evaluated text
    kEvaluatedChildren = 0x4,
    kObjectReference = 0x8,
    kAddMarkers = 0x10,      // the code with every expression inline, between %< and >%
    kEscapeBackslash = 0x20,
    kStripOptions = 0x40,
    kPreserveFields = 0x80,
    kTextField = 0x100,
    kPreserveOptions = 0x200,
    kDetachChildren = 0x400,
    kChildObjectReference = 0x800,
    kForExpression = 0x1000
  };
  enum State { kInitialized = 0x1, kCompiled = 0x2, kModified = 0x4, kEvaluated = 0x8, kHasCache = 0x10 };
  enum EvalStatus { kNotYetEvaluated = 0x1, kSuccess = 0x2, kEvaluatorNotFound = 0x4, kSyntaxError = 0x8,
                    kInvalidCode = 0x10, kInvalidContext = 0x20, kOtherError = 0x40 };

  AcDbField() = default;
  explicit AcDbField(const ACHAR* pszFieldCode, bool bTextField = false);

  // The code as asked for by flags (see FieldCodeFlag); the string belongs to the field.
  const ACHAR* getFieldCode(FieldCodeFlag nFlag, AcArray<AcDbField*>* pChildFields = nullptr,
                            AcDb::OpenMode mode = AcDb::kForRead) const;
  Acad::ErrorStatus getFieldCode(AcString& code, FieldCodeFlag nFlag,
                                 AcArray<AcDbField*>* pChildFields = nullptr,
                                 AcDb::OpenMode mode = AcDb::kForRead) const;
  Acad::ErrorStatus setFieldCode(const ACHAR* pszFieldCode, FieldCodeFlag nFlag = kFieldCode);
  // Evaluates the expressions of the code against the database of the field (or pDb).
  Acad::ErrorStatus evaluate(int nContext, AcDbDatabase* pDb = nullptr, int* pNumFound = nullptr,
                             int* pNumEvaluated = nullptr);
  const ACHAR* getValue() const { return readProperty(mValue, __func__).c_str(); }  // the last evaluated text
  EvalStatus evaluationStatus() const { return readProperty(mStatus, __func__); }
  int childCount() const;
  bool isTextField() const { return readProperty(mTextField, __func__); }

 private:
  friend struct AcDbCore;
  std::wstring mCode;
  std::wstring mValue;
  mutable std::wstring mScratch;  // the string handed out by getFieldCode
  EvalStatus mStatus = kNotYetEvaluated;
  bool mTextField = false;
};

// True when text holds a field expression (%<\ ... >%).
ACCORE_PORT bool acdbHasFieldExpression(const ACHAR* text);

// Evaluates the fields of an object (all of them, or those under one property) and writes each
// field's value into the object's text. Statuses: eNullObjectId, eWasErased, eWasOpenForWrite.
ACCORE_PORT Acad::ErrorStatus acdbEvaluateFields(const AcDbObjectId& objId, int nContext,
                                                 const ACHAR* pszPropName = nullptr,
                                                 AcDbDatabase* pDb = nullptr,
                                                 AcFd::EvalFields nEvalFlag = AcFd::kEvalRecursive,
                                                 int* pNumFound = nullptr, int* pNumEvaluated = nullptr);
ACCORE_PORT Acad::ErrorStatus acdbEvaluateFields(const AcDbObjectIdArray& objIds, int nContext,
                                                 const ACHAR* pszPropName = nullptr,
                                                 AcDbDatabase* pDb = nullptr,
                                                 AcFd::EvalFields nEvalFlag = AcFd::kEvalRecursive,
                                                 int* pNumFound = nullptr, int* pNumEvaluated = nullptr);
