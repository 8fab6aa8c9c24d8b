// The fixture of the core tests: every test gets a fresh drawing in a fresh current document,
// and leaves the process-wide host state (documents, command line, events, selection source,
// pick-first set, host checks) as it found it. Helpers open, change and close objects the way a
// plug-in does, asserting each status on the way.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "acdocman.h"
#include "acedads.h"
#include "acutads.h"
#include "dbdim.h"
#include "dbents.h"
#include "dbfield.h"
#include "dbsymtb.h"
#include "core/hostservices.h"

// Each test works as one of the host's own commands does: its document is locked from SetUp to
// TearDown (unlockDocument lets it go, for tests of what needs the lock). Every test must keep
// the open protocol: a fault fails it with the call's name.
class DrawingTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void unlockDocument();

  // The helpers that write lock the document themselves (locks nest).
  // Appends an entity to a block (model space when none is given) and closes it.
  AcDbObjectId append(AcDbEntity* entity, AcDbObjectId block = AcDbObjectId::kNull);
  AcDbObjectId addText(const wchar_t* text, const AcGePoint3d& at = AcGePoint3d(), double height = 1.0);
  AcDbObjectId addMText(const wchar_t* contents, const AcGePoint3d& at = AcGePoint3d());
  AcDbObjectId addLine(const AcGePoint3d& from, const AcGePoint3d& to);
  AcDbObjectId addLayer(const wchar_t* name);
  AcDbObjectId addTextStyle(const wchar_t* name);
  AcDbObjectId paperSpaceId();
  void setLayerLocked(AcDbObjectId layerId, bool locked);
  void eraseObject(AcDbObjectId id);

  // Opens an object of class T for write (or read), runs f on it and closes it.
  template <class T, class F>
  void change(AcDbObjectId id, F f) {
    AcAxDocLock lock(id);
    T* object = nullptr;
    ASSERT_EQ(acdbOpenObject(object, id, AcDb::kForWrite), Acad::eOk);
    f(object);
    EXPECT_EQ(object->close(), Acad::eOk);
  }
  template <class T, class F>
  void inspect(AcDbObjectId id, F f) {
    T* object = nullptr;
    ASSERT_EQ(acdbOpenObject(object, id, AcDb::kForRead, true), Acad::eOk);
    f(object);
    EXPECT_EQ(object->close(), Acad::eOk);
  }

  std::wstring textOf(AcDbObjectId textId);
  std::wstring handleText(AcDbObjectId id);  // hexadecimal, as drawing files write it
  std::wstring handleDecimal(AcDbObjectId id);  // as field expressions name objects

  AcDbDatabase* db = nullptr;
  AcApDocument* doc = nullptr;

 private:
  int mSelectionSetsAtStart = 0;
  bool mLocksRequiredAtStart = true;
  std::unique_ptr<AcAxDocLock> mCommandLock;
};

// A selection prompt answered from a script: the objects to pick, or a cancel.
class ScriptedSelection : public cadhost::SelectionSource {
 public:
  cadhost::SelectionAnswer selectObjects(const cadhost::SelectionRequest& request) override;
  std::vector<AcDbObjectId> picks;
  bool cancel = false;
  int prompts = 0;
  AcDbDatabase* askedDatabase = nullptr;
};

// The members of a selection set, in order.
std::vector<AcDbObjectId> selectionMembers(const ads_name ss);

// The host's record of the open-protocol faults since the last take must be exactly these.
::testing::AssertionResult faultsWere(std::vector<std::wstring> expected);
#define EXPECT_FAULTS(...) EXPECT_TRUE(faultsWere({__VA_ARGS__}))

// Points compare with a small tolerance (the text geometry goes through sines and cosines).
::testing::AssertionResult pointNear(const AcGePoint3d& actual, const AcGePoint3d& expected, double tolerance = 1e-9);
#define EXPECT_POINT_NEAR(actual, ...) EXPECT_TRUE(pointNear((actual), __VA_ARGS__))
