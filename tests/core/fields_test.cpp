// Fields: a text given a field expression keeps a field under "TEXT"; evaluating the object's
// fields writes their values into its text. Dates (under a fixed clock), file names, summary
// information and properties of other entities; plain text removes the field; what cannot be
// evaluated shows "####"; fields travel with clones.
#include "drawing_fixture.h"

#include <ctime>

namespace {

class FieldTest : public DrawingTest {
 protected:
  void setAuthor(const wchar_t* author) {
    AcDbDatabaseSummaryInfo* info = nullptr;
    ASSERT_EQ(acdbGetSummaryInfo(db, info), Acad::eOk);
    info->setAuthor(author);
    info->setTitle(L"Ground floor");
    ASSERT_EQ(acdbPutSummaryInfo(info, db), Acad::eOk);
    delete info;
  }
  // The text a field expression evaluates to, through a TEXT entity.
  std::wstring evaluated(const std::wstring& expression) {
    const AcDbObjectId id = addText(expression.c_str());
    EXPECT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
    return textOf(id);
  }
  std::wstring fieldCode(AcDbObjectId id, AcDbField::FieldCodeFlag flag) {
    std::wstring code;
    inspect<AcDbEntity>(id, [&](AcDbEntity* entity) {
      AcDbField* field = nullptr;
      ASSERT_EQ(entity->getField(L"TEXT", field, AcDb::kForRead), Acad::eOk);
      code = field->getFieldCode(flag);
      field->close();
    });
    return code;
  }
};

std::tm tuesdayAfternoon() {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 2;  // March
  t.tm_mday = 5;
  t.tm_wday = 2;
  t.tm_hour = 14;
  t.tm_min = 7;
  t.tm_sec = 9;
  return t;
}

TEST_F(FieldTest, ExpressionInTextMakesAFieldThatEvaluationFillsIn) {
  setAuthor(L"Ivanov");
  const AcDbObjectId id = addText(L"Plain");
  change<AcDbText>(id, [](AcDbText* text) { EXPECT_EQ(text->setTextString(L"%<\\AcVar Author>%"), Acad::eOk); });
  inspect<AcDbText>(id, [](AcDbText* text) {
    EXPECT_TRUE(text->hasFields());
    AcArray<AcString> properties;
    text->getFieldDictionary(properties);
    ASSERT_EQ(properties.length(), 1);
    EXPECT_EQ(properties[0], L"TEXT");
    EXPECT_STREQ(text->textStringConst(), L"%<\\AcVar Author>%") << "shown as the expression until evaluated";
  });
  EXPECT_EQ(fieldCode(id, AcDbField::kAddMarkers), L"%<\\AcVar Author>%");
  EXPECT_EQ(fieldCode(id, AcDbField::kFieldCode), L"%<\\_FldIdx 0>%");

  int found = 0, done = 0;
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand, nullptr, nullptr, AcFd::kEvalRecursive, &found, &done), Acad::eOk);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(textOf(id), L"Ivanov");
  EXPECT_EQ(fieldCode(id, AcDbField::kAddMarkers), L"%<\\AcVar Author>%") << "the code stays with the field";
  EXPECT_EQ(fieldCode(id, AcDbField::kEvaluatedText), L"Ivanov");

  setAuthor(L"Petrov");
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(id), L"Petrov") << "evaluating again picks up the change";
}

TEST_F(FieldTest, TextAroundExpressionsIsKept) {
  setAuthor(L"Ivanov");
  const AcDbObjectId id = addText(L"Drawn by %<\\AcVar Author>% for %<\\AcVar Title \\f \"%tc1\">%.");
  EXPECT_EQ(fieldCode(id, AcDbField::kFieldCode), L"Drawn by %<\\_FldIdx 0>% for %<\\_FldIdx 1>%.");
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(id), L"Drawn by Ivanov for GROUND FLOOR.");
}

TEST_F(FieldTest, DatesFollowTheirFormatUnderAFixedClock) {
  cadhost::setFixedClock(tuesdayAfternoon());
  EXPECT_EQ(evaluated(L"%<\\AcVar Date \\f \"d.MM.yyyy\">%"), L"5.03.2024");
  EXPECT_EQ(evaluated(L"%<\\AcVar Date \\f \"dddd, MMMM d, yyyy\">%"), L"Tuesday, March 5, 2024");
  EXPECT_EQ(evaluated(L"%<\\AcVar Date \\f \"ddd dd MMM yy\">%"), L"Tue 05 Mar 24");
  EXPECT_EQ(evaluated(L"%<\\AcVar Date \\f \"h:mm:ss tt\">%"), L"2:07:09 PM");
  EXPECT_EQ(evaluated(L"%<\\AcVar Date \\f \"HH:mm\">%"), L"14:07");
  EXPECT_EQ(evaluated(L"%<\\AcVar Date>%"), L"3/5/2024");
  EXPECT_EQ(evaluated(L"%<\\acvar date \\f \"yyyy\">%"), L"2024") << "names ignore letter case";
}

TEST_F(FieldTest, DatesOfAFixedClockNeedNoWeekday) {
  // A clock fixed by date and time alone: the weekday follows from the date.
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 5;
  cadhost::setFixedClock(t);
  EXPECT_EQ(evaluated(L"%<\\AcVar Date \\f \"dddd d MMMM\">%"), L"Tuesday 5 March");

  t.tm_mon = 13;  // out of range: counts on into the next year
  t.tm_wday = 9;
  cadhost::setFixedClock(t);
  EXPECT_EQ(evaluated(L"%<\\AcVar Date \\f \"ddd d MMM yyyy\">%"), L"Wed 5 Feb 2025");

  std::tm overflowing{};
  overflowing.tm_year = 2024 - 1900;
  overflowing.tm_mon = 1;
  overflowing.tm_mday = 31;  // 31 February of a leap year: 2 March
  overflowing.tm_hour = 25;  // and a day more
  cadhost::setFixedClock(overflowing);
  const std::tm now = cadhost::currentTime();
  EXPECT_EQ(now.tm_mon, 2);
  EXPECT_EQ(now.tm_mday, 3);
  EXPECT_EQ(now.tm_hour, 1);
  EXPECT_EQ(now.tm_wday, 0) << "a Sunday";
}

TEST_F(FieldTest, FileNameInEachForm) {
  ASSERT_EQ(db->setFilename(L"C:\\Projects\\Tower\\Plan-01.dwg"), Acad::eOk);
  EXPECT_EQ(evaluated(L"%<\\AcVar Filename>%"), L"C:\\Projects\\Tower\\Plan-01.dwg");
  EXPECT_EQ(evaluated(L"%<\\AcVar Filename \\f \"%fn0\">%"), L"C:\\Projects\\Tower\\Plan-01.dwg");
  EXPECT_EQ(evaluated(L"%<\\AcVar Filename \\f \"%fn1\">%"), L"C:\\Projects\\Tower\\");
  EXPECT_EQ(evaluated(L"%<\\AcVar Filename \\f \"%fn2\">%"), L"Plan-01.dwg");
  EXPECT_EQ(evaluated(L"%<\\AcVar Filename \\f \"%fn6\">%"), L"Plan-01");
  EXPECT_EQ(evaluated(L"%<\\AcVar Filename \\f \"%tc1%fn6\">%"), L"PLAN-01");
  EXPECT_EQ(evaluated(L"%<\\AcVar Filename \\f \"%tc2%fn2\">%"), L"plan-01.dwg");
}

TEST_F(FieldTest, SummaryInformation) {
  AcDbDatabaseSummaryInfo info;
  info.setAuthor(L"A. Author");
  info.setTitle(L"the title");
  info.setSubject(L"Subject");
  info.setKeywords(L"k1, k2");
  info.setComments(L"none");
  info.setLastSavedBy(L"Saver");
  ASSERT_EQ(acdbPutSummaryInfo(&info, db), Acad::eOk);
  EXPECT_EQ(acdbPutSummaryInfo(nullptr, db), Acad::eNullObjectPointer);
  EXPECT_EQ(evaluated(L"%<\\AcVar Author>%"), L"A. Author");
  EXPECT_EQ(evaluated(L"%<\\AcVar Title \\f \"%tc4\">%"), L"The Title");
  EXPECT_EQ(evaluated(L"%<\\AcVar Title \\f \"%tc3\">%"), L"The title");
  EXPECT_EQ(evaluated(L"%<\\AcVar Subject>%"), L"Subject");
  EXPECT_EQ(evaluated(L"%<\\AcVar Keywords>%"), L"k1, k2");
  EXPECT_EQ(evaluated(L"%<\\AcVar Comments>%"), L"none");
  EXPECT_EQ(evaluated(L"%<\\AcVar LastSavedBy>%"), L"Saver");

  info.setAuthor(L"иван петров");
  info.setTitle(L"ПЛАН ЭТАЖА");
  ASSERT_EQ(acdbPutSummaryInfo(&info, db), Acad::eOk);
  EXPECT_EQ(evaluated(L"%<\\AcVar Author \\f \"%tc1\">%"), L"ИВАН ПЕТРОВ");
  EXPECT_EQ(evaluated(L"%<\\AcVar Author \\f \"%tc4\">%"), L"Иван Петров");
  EXPECT_EQ(evaluated(L"%<\\AcVar Title \\f \"%tc2\">%"), L"план этажа");
  EXPECT_EQ(evaluated(L"%<\\AcVar Title \\f \"%tc3\">%"), L"План этажа");
}

TEST_F(FieldTest, PropertiesOfOtherEntities) {
  auto* source = new AcDbText(AcGePoint3d(), L"Room 101", AcDbObjectId::kNull, 2.5, 3.14159265358979323846 / 2);
  const AcDbObjectId notes = addLayer(L"Notes");
  source->setLayer(notes);
  const AcDbObjectId sourceId = append(source);
  const AcDbObjectId circle = append(new AcDbCircle(AcGePoint3d(), AcGeVector3d::kZAxis, 2));
  const AcDbObjectId line = addLine(AcGePoint3d(0, 0, 0), AcGePoint3d(3, 4, 0));
  const AcDbObjectId mtext = addMText(L"Multi\\Pline");
  const AcDbObjectId dim = append(new AcDbAlignedDimension(AcGePoint3d(), AcGePoint3d(0, 7.25, 0), AcGePoint3d(1, 0, 0)));
  auto objProp = [&](AcDbObjectId id, const std::wstring& property) {
    return L"%<\\AcObjProp Object(%<\\_ObjId " + handleDecimal(id) + L">%)." + property + L">%";
  };

  EXPECT_EQ(evaluated(objProp(sourceId, L"TextString")), L"Room 101");
  EXPECT_EQ(evaluated(L"See " + objProp(sourceId, L"TextString \\f \"%tc1\"")), L"See ROOM 101");
  EXPECT_EQ(evaluated(objProp(sourceId, L"Height \\f \"%lu2%pr3\"")), L"2.500");
  EXPECT_EQ(evaluated(objProp(sourceId, L"Rotation \\f \"%pr0\"")), L"90");
  EXPECT_EQ(evaluated(objProp(sourceId, L"Layer")), L"Notes");
  EXPECT_EQ(evaluated(objProp(circle, L"Radius \\f \"%lu2%pr2\"")), L"2.00");
  EXPECT_EQ(evaluated(objProp(circle, L"Diameter \\f \"%lu2%pr1\"")), L"4.0");
  EXPECT_EQ(evaluated(objProp(circle, L"Area \\f \"%lu2%pr3\"")), L"12.566");
  EXPECT_EQ(evaluated(objProp(line, L"Length \\f \"%lu2%pr2\"")), L"5.00");
  EXPECT_EQ(evaluated(objProp(mtext, L"Contents")), L"Multi\\Pline");
  EXPECT_EQ(evaluated(objProp(dim, L"Measurement \\f \"%lu4%pr2\"")), L"0'-7 1/4\"");

  // A property the object does not have, or an object that is gone, cannot be evaluated.
  EXPECT_EQ(evaluated(objProp(line, L"Radius")), L"####");
  EXPECT_EQ(evaluated(objProp(sourceId, L"Colour")), L"####");
  eraseObject(sourceId);
  EXPECT_EQ(evaluated(objProp(sourceId, L"TextString")), L"####");
  EXPECT_EQ(evaluated(L"%<\\AcObjProp Object(%<\\_ObjId 999999>%).TextString>%"), L"####");
}

TEST_F(FieldTest, WhatCannotBeEvaluatedShowsHashes) {
  int found = 0, done = 0;
  const AcDbObjectId id = addText(L"Total: %<\\AcVar NoSuchVariable>% and %<\\AcVar Author>%");
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand, nullptr, nullptr, AcFd::kEvalRecursive, &found, &done), Acad::eOk);
  EXPECT_EQ(found, 2);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(textOf(id), L"Total: #### and ");
  inspect<AcDbText>(id, [](AcDbText* text) {
    AcDbField* field = nullptr;
    ASSERT_EQ(text->getField(L"TEXT", field, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(field->evaluationStatus(), AcDbField::kInvalidCode);
    EXPECT_EQ(field->childCount(), 2);
    field->close();
  });
  EXPECT_EQ(evaluated(L"%<\\NoSuchEvaluator x>%"), L"####");
  EXPECT_EQ(evaluated(L"%<\\>%"), L"####");
}

TEST_F(FieldTest, PlainTextRemovesTheField) {
  const AcDbObjectId id = addText(L"%<\\AcVar Author>%");
  AcDbObjectId fieldId;
  inspect<AcDbText>(id, [&](AcDbText* text) { text->getField(L"TEXT", fieldId); });
  ASSERT_FALSE(fieldId.isNull());
  change<AcDbText>(id, [](AcDbText* text) { EXPECT_EQ(text->setTextString(L"Written by hand"), Acad::eOk); });
  inspect<AcDbText>(id, [](AcDbText* text) {
    EXPECT_FALSE(text->hasFields());
    AcDbObjectId none;
    EXPECT_EQ(text->getField(L"TEXT", none), Acad::eKeyNotFound);
  });
  EXPECT_TRUE(fieldId.isErased());
  setAuthor(L"Ivanov");
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(id), L"Written by hand") << "no field is left to overwrite the text";

  // "%<" alone, or an expression without its end, is no field.
  EXPECT_FALSE(acdbHasFieldExpression(L"50%< of the width"));
  EXPECT_FALSE(acdbHasFieldExpression(L"%<\\AcVar Author"));
  EXPECT_FALSE(acdbHasFieldExpression(nullptr));
  EXPECT_TRUE(acdbHasFieldExpression(L"x %<\\AcVar Author>% y"));
}

TEST_F(FieldTest, NewExpressionUpdatesTheSameField) {
  setAuthor(L"Ivanov");
  const AcDbObjectId id = addText(L"%<\\AcVar Author>%");
  change<AcDbText>(id, [](AcDbText* text) { text->setTextString(L"%<\\AcVar Title>%"); });
  EXPECT_EQ(fieldCode(id, AcDbField::kAddMarkers), L"%<\\AcVar Title>%");
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(id), L"Ground floor");
}

TEST_F(FieldTest, FieldsInMultilineText) {
  setAuthor(L"Ivanov");
  const AcDbObjectId id = addMText(L"{\\H2;Author:}\\P%<\\AcVar Author>%");
  inspect<AcDbMText>(id, [](AcDbMText* mtext) { EXPECT_TRUE(mtext->hasFields()); });
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(id), L"{\\H2;Author:}\\PIvanov");
}

TEST_F(FieldTest, EvaluationStatuses) {
  const AcDbObjectId id = addText(L"%<\\AcVar Author>%");
  EXPECT_EQ(acdbEvaluateFields(AcDbObjectId::kNull, AcFd::kDemand), Acad::eNullObjectId);
  AcDbText* text = nullptr;
  ASSERT_EQ(acdbOpenObject(text, id, AcDb::kForWrite), Acad::eOk);
  EXPECT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eWasOpenForWrite);
  text->close();
  EXPECT_EQ(textOf(id), L"%<\\AcVar Author>%");
  eraseObject(id);
  EXPECT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eWasErased);

  const AcDbObjectId plain = addText(L"No field");
  int found = -1;
  EXPECT_EQ(acdbEvaluateFields(plain, AcFd::kDemand, nullptr, nullptr, AcFd::kEvalRecursive, &found), Acad::eOk);
  EXPECT_EQ(found, 0);

  setAuthor(L"Ivanov");
  const AcDbObjectId second = addText(L"%<\\AcVar Author>%");
  AcDbObjectIdArray ids;
  ids.append(plain);
  ids.append(second);
  EXPECT_EQ(acdbEvaluateFields(ids, AcFd::kDemand, nullptr, nullptr, AcFd::kEvalRecursive, &found), Acad::eOk);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(textOf(second), L"Ivanov");
  EXPECT_EQ(acdbEvaluateFields(ids, AcFd::kDemand, L"NOT_A_PROPERTY"), Acad::eOk);
}

TEST_F(FieldTest, EvaluationWritesUnderTheRulesOfAnyWriter) {
  setAuthor(L"Ivanov");
  const AcDbObjectId layer = addLayer(L"Frozen in place");
  auto* onLockedLayer = new AcDbText(AcGePoint3d(), L"%<\\AcVar Author>%");
  onLockedLayer->setLayer(layer);
  const AcDbObjectId locked = append(onLockedLayer);
  setLayerLocked(layer, true);
  EXPECT_EQ(acdbEvaluateFields(locked, AcFd::kDemand), Acad::eOnLockedLayer);
  EXPECT_EQ(textOf(locked), L"%<\\AcVar Author>%") << "a locked layer keeps the text as it is";

  const AcDbObjectId held = addText(L"%<\\AcVar Author>%");
  AcDbText* reader = nullptr;
  ASSERT_EQ(acdbOpenObject(reader, held, AcDb::kForRead), Acad::eOk);
  EXPECT_EQ(acdbEvaluateFields(held, AcFd::kDemand), Acad::eWasOpenForRead) << "a reader holds it";
  reader->close();

  unlockDocument();
  EXPECT_EQ(acdbEvaluateFields(held, AcFd::kDemand), Acad::eLockViolation);
  EXPECT_EQ(textOf(held), L"%<\\AcVar Author>%");
  {
    AcAxDocLock lock(db);
    EXPECT_EQ(acdbEvaluateFields(held, AcFd::kDemand), Acad::eOk);
  }
  EXPECT_EQ(textOf(held), L"Ivanov");
}

TEST_F(FieldTest, FieldsFollowCloneAndAppend) {
  setAuthor(L"Ivanov");
  const AcDbObjectId id = addText(L"By %<\\AcVar Author>%");
  AcDbText* original = nullptr;
  ASSERT_EQ(acdbOpenObject(original, id, AcDb::kForRead), Acad::eOk);
  auto* copy = AcDbText::cast(original->clone());
  original->close();
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->hasFields());
  const AcDbObjectId copyId = append(copy, paperSpaceId());
  EXPECT_EQ(fieldCode(copyId, AcDbField::kAddMarkers), L"By %<\\AcVar Author>%");
  ASSERT_EQ(acdbEvaluateFields(copyId, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(copyId), L"By Ivanov");
  EXPECT_EQ(textOf(id), L"By %<\\AcVar Author>%") << "the original's field is its own";

  // A text made with an expression, outside the drawing, brings its field along too.
  auto* fresh = new AcDbText(AcGePoint3d(), L"%<\\AcVar Author>%");
  EXPECT_TRUE(fresh->hasFields());
  const AcDbObjectId freshId = append(fresh);
  ASSERT_EQ(acdbEvaluateFields(freshId, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(freshId), L"Ivanov");
}

TEST_F(FieldTest, EvaluatedValueMovesAlignedTextAboutItsAlignmentPoint) {
  setAuthor(L"ABCDEFGH");
  auto* text = new AcDbText(AcGePoint3d(), L"%<\\AcVar Author>%", AcDbObjectId::kNull, 1.0);
  text->setHorizontalMode(AcDb::kTextRight);
  text->setAlignmentPoint(AcGePoint3d(20, 0, 0));
  const AcDbObjectId id = append(text);
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  inspect<AcDbText>(id, [](AcDbText* t) {
    EXPECT_POINT_NEAR(t->position(), AcGePoint3d(20 - 8 * 0.8, 0, 0));
    EXPECT_POINT_NEAR(t->alignmentPoint(), AcGePoint3d(20, 0, 0));
  });
}

TEST_F(FieldTest, AlignedTextFillsItsBaselineForTheValueNotTheExpression) {
  setAuthor(L"JS");
  auto* text = new AcDbText(AcGePoint3d(), L"JS", AcDbObjectId::kNull, 2.0);
  text->setHorizontalMode(AcDb::kTextAlign);
  text->setAlignmentPoint(AcGePoint3d(10, 0, 0));
  const AcDbObjectId id = append(text);
  // Writing the expression again and again (as an editor does on every keystroke), each time
  // evaluated to the same two characters, leaves the height as it was.
  for (int i = 0; i < 3; ++i) {
    change<AcDbText>(id, [](AcDbText* t) { t->setTextString(L"%<\\AcVar Author>%"); });
    ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  }
  inspect<AcDbText>(id, [](AcDbText* t) { EXPECT_DOUBLE_EQ(t->height(), 2.0); });
  // A value twice as long halves the height; plain text is measured as it is typed.
  setAuthor(L"JSJS");
  change<AcDbText>(id, [](AcDbText* t) { t->setTextString(L"%<\\AcVar Author>%"); });
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  inspect<AcDbText>(id, [](AcDbText* t) { EXPECT_DOUBLE_EQ(t->height(), 1.0); });
  change<AcDbText>(id, [](AcDbText* t) { t->setTextString(L"JS"); });
  inspect<AcDbText>(id, [](AcDbText* t) { EXPECT_DOUBLE_EQ(t->height(), 2.0); });
}

TEST_F(FieldTest, FitTextFillsItsBaselineAgainAfterBeingEmpty) {
  auto* text = new AcDbText(AcGePoint3d(), L"ABCD", AcDbObjectId::kNull, 2.0);
  text->setHorizontalMode(AcDb::kTextFit);
  const AcDbObjectId id = append(text);
  change<AcDbText>(id, [](AcDbText* t) { t->setTextString(L""); });
  inspect<AcDbText>(id, [](AcDbText* t) { EXPECT_DOUBLE_EQ(t->widthFactor(), 1.0); });
  change<AcDbText>(id, [](AcDbText* t) { t->setTextString(L"ABCDEFGH"); });
  inspect<AcDbText>(id, [](AcDbText* t) { EXPECT_NEAR(t->widthFactor(), 0.5, 1e-12); });
}

TEST_F(FieldTest, AFieldFiledTwiceUnderOneNameStaysHeld) {
  setAuthor(L"Ivanov");
  auto* text = new AcDbText(AcGePoint3d(), L"x");
  auto* field = new AcDbField(L"%<\\AcVar Author>%", true);
  AcDbObjectId unused;
  EXPECT_EQ(text->setField(L"TEXT", field, unused), Acad::eOk);
  EXPECT_EQ(text->setField(L"TEXT", field, unused), Acad::eOk);
  EXPECT_EQ(text->setField(L"OTHER", field, unused), Acad::eInvalidInput) << "one field, one owner";
  const AcDbObjectId id = append(text);
  EXPECT_EQ(fieldCode(id, AcDbField::kAddMarkers), L"%<\\AcVar Author>%");
}

TEST_F(FieldTest, DimensionTextKeepsAFieldLikeAnyText) {
  setAuthor(L"Ivanov");
  const AcDbObjectId id =
      append(new AcDbRotatedDimension(0, AcGePoint3d(0, 0, 0), AcGePoint3d(12.5, 0, 0), AcGePoint3d(0, 5, 0)));
  change<AcDbDimension>(id, [](AcDbDimension* d) { EXPECT_EQ(d->setDimensionText(L"<> by %<\\AcVar Author>%"), Acad::eOk); });
  EXPECT_EQ(fieldCode(id, AcDbField::kAddMarkers), L"<> by %<\\AcVar Author>%");
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(id), L"<> by Ivanov");
  change<AcDbDimension>(id, [](AcDbDimension* d) { d->setDimensionText(L"plain"); });
  inspect<AcDbDimension>(id, [](AcDbDimension* d) { EXPECT_FALSE(d->hasFields()); });
  ASSERT_EQ(acdbEvaluateFields(id, AcFd::kDemand), Acad::eOk);
  EXPECT_EQ(textOf(id), L"plain");
}

}  // namespace
