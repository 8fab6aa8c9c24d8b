// Selection: filters over a mixed drawing, the selection prompt and its answers, the pick-first
// set and which commands it serves, the selection-set functions, and the answers the host's
// command line understands.
#include "drawing_fixture.h"

#include <functional>
#include <memory>

#include "core/coreaccess.h"

namespace {

// A drawing with one of every kind of entity, on two layers, in model space and paper space,
// and a block definition whose entities are never selected directly.
class SelectionTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    notes = addLayer(L"Notes");
    line = addLine(AcGePoint3d(1, 1, 0), AcGePoint3d(2, 2, 0));
    auto* c = new AcDbCircle(AcGePoint3d(5, 5, 0), AcGeVector3d::kZAxis, 1);
    c->setColorIndex(1);
    circle = append(c);
    auto* p = new AcDbPolyline;
    p->addVertexAt(0, AcGePoint2d(0, 0));
    p->addVertexAt(1, AcGePoint2d(30, 0));
    polyline = append(p);
    auto* t = new AcDbText(AcGePoint3d(3, 3, 0), L"Room 101");
    t->setLayer(notes);
    text1 = append(t);
    blockRef = append(new AcDbBlockReference(AcGePoint3d(50, 50, 0), makeBlock()));
    mtext = addMText(L"Multi", AcGePoint3d(60, 0, 0));
    dims.push_back(append(new AcDbAlignedDimension(AcGePoint3d(), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0))));
    dims.push_back(append(new AcDbRotatedDimension(0, AcGePoint3d(), AcGePoint3d(1, 0, 0), AcGePoint3d(0, 1, 0))));
    dims.push_back(append(new AcDb2LineAngularDimension));
    dims.push_back(append(new AcDb3PointAngularDimension));
    dims.push_back(append(new AcDbRadialDimension(AcGePoint3d(), AcGePoint3d(1, 0, 0), 1)));
    dims.push_back(append(new AcDbDiametricDimension(AcGePoint3d(), AcGePoint3d(1, 0, 0), 1)));
    dims.push_back(append(new AcDbOrdinateDimension(true, AcGePoint3d(), AcGePoint3d(1, 1, 0))));
    arc = append(new AcDbArc(AcGePoint3d(), 1, 0, 1));
    hatch = append(new AcDbUnmodeledEntity(L"HATCH"));
    text2 = addText(L"Second", AcGePoint3d(100, 100, 0));
    paperText = append(new AcDbText(AcGePoint3d(), L"Paper note"), paperSpaceId());
  }

  AcDbObjectId makeBlock() {
    AcDbBlockTable* blocks = nullptr;
    EXPECT_EQ(db->getBlockTable(blocks, AcDb::kForWrite), Acad::eOk);
    auto* block = new AcDbBlockTableRecord;
    block->setName(L"Door");
    AcDbObjectId id;
    EXPECT_EQ(blocks->add(id, block), Acad::eOk);
    blocks->close();
    block->close();
    append(new AcDbText(AcGePoint3d(), L"Inside a block"), id);
    append(new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 2, 0)), id);
    return id;
  }

  // Selects with a mode and a filter (which it frees) and gives the members, or the status.
  std::vector<AcDbObjectId> select(const wchar_t* mode, resbuf* filter, int* status = nullptr) {
    ads_name ss;
    const int result = acedSSGet(mode, nullptr, nullptr, filter, ss);
    acutRelRb(filter);
    if (status) *status = result;
    if (result != RTNORM) return {};
    std::vector<AcDbObjectId> members = selectionMembers(ss);
    EXPECT_EQ(acedSSFree(ss), RTNORM);
    return members;
  }
  std::vector<AcDbObjectId> allTexts() {
    std::vector<AcDbObjectId> expected{text1, mtext};
    expected.insert(expected.end(), dims.begin(), dims.end());
    expected.push_back(text2);
    expected.push_back(paperText);
    return expected;
  }

  AcDbObjectId notes, line, circle, polyline, text1, blockRef, mtext, arc, hatch, text2, paperText;
  std::vector<AcDbObjectId> dims;
};

resbuf* textKindsFilter() {
  return acutBuildList(-4, L"<or", RTDXF0, L"TEXT", RTDXF0, L"MTEXT", RTDXF0, L"DIMENSION", -4, L"or>", 0);
}

TEST_F(SelectionTest, TextKindsFilterKeepsTextMTextAndEveryDimension) {
  EXPECT_EQ(select(L"X", textKindsFilter()), allTexts());

  // The same filter over what the user picks, in the order picked.
  ScriptedSelection user;
  user.picks = {hatch, text2, line, dims[3], circle, blockRef, mtext, polyline, arc, text1, dims[0]};
  cadhost::setSelectionSource(&user);
  EXPECT_EQ(select(nullptr, textKindsFilter()), (std::vector<AcDbObjectId>{text2, dims[3], mtext, text1, dims[0]}));
  EXPECT_EQ(user.prompts, 1);
  EXPECT_EQ(user.askedDatabase, db);
}

TEST_F(SelectionTest, EverythingWithoutAFilter) {
  const auto everything = select(L"X", nullptr);
  EXPECT_EQ(everything.size(), 16u + 1u) << "model space and paper space, not the block definition";
  EXPECT_EQ(everything.front(), line);
  EXPECT_EQ(everything.back(), paperText);
}

TEST_F(SelectionTest, TypeNamesMatchAsWildcards) {
  auto byType = [&](const wchar_t* pattern) { return select(L"X", acutBuildList(RTDXF0, pattern, 0)); };
  EXPECT_EQ(byType(L"*TEXT"), (std::vector<AcDbObjectId>{text1, mtext, text2, paperText}));
  EXPECT_EQ(byType(L"text"), (std::vector<AcDbObjectId>{text1, text2, paperText}));
  EXPECT_EQ(byType(L"TEXT,MTEXT"), (std::vector<AcDbObjectId>{text1, mtext, text2, paperText}));
  EXPECT_EQ(byType(L"DIM*"), dims);
  EXPECT_EQ(byType(L"HATCH"), std::vector<AcDbObjectId>{hatch});
  EXPECT_EQ(byType(L"INSERT"), std::vector<AcDbObjectId>{blockRef});
  EXPECT_EQ(byType(L"LWPOLYLINE"), std::vector<AcDbObjectId>{polyline});
  const auto notText = byType(L"~TEXT");
  EXPECT_EQ(notText.size(), 17u - 3u);
  for (AcDbObjectId id : {text1, text2, paperText}) EXPECT_EQ(std::count(notText.begin(), notText.end(), id), 0);
}

TEST_F(SelectionTest, LayersTextsColoursAndSpaces) {
  EXPECT_EQ(select(L"X", acutBuildList(8, L"notes", 0)), std::vector<AcDbObjectId>{text1});
  EXPECT_EQ(select(L"X", acutBuildList(8, L"N*", 0)), std::vector<AcDbObjectId>{text1});
  EXPECT_EQ(select(L"X", acutBuildList(1, L"Room*", 0)), std::vector<AcDbObjectId>{text1});
  EXPECT_EQ(select(L"X", acutBuildList(62, 1, 0)), std::vector<AcDbObjectId>{circle});
  EXPECT_EQ(select(L"X", acutBuildList(67, 1, 0)), std::vector<AcDbObjectId>{paperText});
  EXPECT_EQ(select(L"X", acutBuildList(410, L"Layout1", 0)), std::vector<AcDbObjectId>{paperText});
  EXPECT_EQ(select(L"X", acutBuildList(7, L"Standard", RTDXF0, L"TEXT", 0)),
            (std::vector<AcDbObjectId>{text1, text2, paperText}));
}

TEST_F(SelectionTest, AndNotXorCombine) {
  EXPECT_EQ(select(L"X", acutBuildList(-4, L"<and", RTDXF0, L"TEXT", 8, L"0", -4, L"and>", 0)),
            (std::vector<AcDbObjectId>{text2, paperText}));
  EXPECT_EQ(select(L"X", acutBuildList(RTDXF0, L"TEXT", -4, L"<not", 8, L"Notes", -4, L"not>", 0)),
            (std::vector<AcDbObjectId>{text2, paperText}))
      << "conditions side by side must all hold";
  EXPECT_EQ(select(L"X", acutBuildList(-4, L"<xor", RTDXF0, L"CIRCLE", 62, 1, -4, L"xor>", 0)),
            std::vector<AcDbObjectId>{})
      << "the red circle meets both conditions";
  EXPECT_EQ(select(L"X", acutBuildList(-4, L"<xor", RTDXF0, L"*TEXT", 8, L"Notes", -4, L"xor>", 0)),
            (std::vector<AcDbObjectId>{mtext, text2, paperText}));
  EXPECT_EQ(select(L"X", acutBuildList(-4, L"<NOT", -4, L"<OR", RTDXF0, L"DIMENSION", RTDXF0, L"*TEXT", -4, L"OR>",
                                       -4, L"NOT>", 0))
                .size(),
            17u - 11u);
}

TEST_F(SelectionTest, MalformedFiltersAreRefusedWithAMessage) {
  const std::vector<resbuf*> malformed = {
      acutBuildList(-4, L"<or", RTDXF0, L"TEXT", 0),
      acutBuildList(RTDXF0, L"TEXT", -4, L"or>", 0),
      acutBuildList(-4, L"<and", RTDXF0, L"TEXT", -4, L"or>", 0),
      acutBuildList(-4, L"<nand", RTDXF0, L"TEXT", -4, L"nand>", 0),
      acutBuildList(-4, L"<not", RTDXF0, L"TEXT", 8, L"0", -4, L"not>", 0),
      acutBuildList(-4, L"<xor", RTDXF0, L"TEXT", -4, L"xor>", 0),
      acutBuildList(-4, L"<or", -4, L"or>", 0),
      acutBuildList(10, nullptr, 0),
  };
  for (resbuf* filter : malformed) {
    ASSERT_NE(filter, nullptr);
    int status = 0;
    select(L"X", filter, &status);
    EXPECT_EQ(status, RTERROR);
    EXPECT_NE(cadhost::takeCommandLineOutput().find(L"Invalid selection"), std::wstring::npos);
  }
}

TEST_F(SelectionTest, PromptAnswersKeepOrderDropRepeatsAndWhatIsGone) {
  ScriptedSelection user;
  cadhost::setSelectionSource(&user);
  const AcDbObjectId gone = addText(L"Gone");
  eraseObject(gone);
  user.picks = {circle, line, circle, gone, db->layerTableId(), AcDbObjectId::kNull, text2};
  EXPECT_EQ(select(L"", nullptr), (std::vector<AcDbObjectId>{circle, line, text2}));

  int status = 0;
  user.picks = {line, circle};
  select(nullptr, textKindsFilter(), &status);
  EXPECT_EQ(status, RTERROR) << "nothing passes the filter";

  user.cancel = true;
  select(nullptr, nullptr, &status);
  EXPECT_EQ(status, RTCAN);

  cadhost::setSelectionSource(nullptr);
  select(nullptr, nullptr, &status);
  EXPECT_EQ(status, RTCAN) << "with nobody to answer, the prompt is cancelled";

  ads_name ss;
  EXPECT_EQ(acedSSGet(nullptr, nullptr, nullptr, nullptr, nullptr), RTERROR);
  EXPECT_EQ(acedSSGet(L"?", nullptr, nullptr, nullptr, ss), RTREJ);
}

// Asks the prompt's request, while it is asked, which of its picks the command takes.
class RememberingSelection : public ScriptedSelection {
 public:
  cadhost::SelectionAnswer selectObjects(const cadhost::SelectionRequest& request) override {
    taken.clear();
    for (AcDbObjectId id : picks) taken.push_back(request.accepts(id));
    return ScriptedSelection::selectObjects(request);
  }
  std::vector<bool> taken;
};

TEST_F(SelectionTest, APromptKnowsWhatTheCommandTakesAndNeverGivesWhatIsInsideABlock) {
  AcDbObjectId blockId;
  inspect<AcDbBlockReference>(blockRef, [&](AcDbBlockReference* r) { blockId = r->blockTableRecord(); });
  const auto* block = AcDbCore::objectAs<AcDbBlockTableRecord>(blockId);
  ASSERT_NE(block, nullptr);
  const AcDbObjectId insideText = AcDbCore::entities(block).front();
  RememberingSelection user;
  cadhost::setSelectionSource(&user);
  user.picks = {insideText, text1, line};
  EXPECT_EQ(select(nullptr, textKindsFilter()), std::vector<AcDbObjectId>{text1});
  // The block's text is never selected; the line is refused by the filter: the prompt counts
  // neither.
  EXPECT_EQ(user.taken, (std::vector<bool>{false, true, false}));

  user.picks = {insideText, line};
  EXPECT_EQ(select(nullptr, nullptr), std::vector<AcDbObjectId>{line});
  ads_name name, set;
  acdbGetAdsName(name, insideText);
  ASSERT_EQ(acedSSAdd(name, nullptr, set), RTNORM);
  ASSERT_EQ(acedSSSetFirst(set, nullptr), RTNORM);
  acedSSFree(set);
  EXPECT_EQ(select(L"I", nullptr), std::vector<AcDbObjectId>{}) << "nor from a set made before";
}

TEST_F(SelectionTest, LastEntityAndPickFirstModes) {
  EXPECT_EQ(select(L"L", nullptr), std::vector<AcDbObjectId>{paperText});
  EXPECT_EQ(select(L"_L", textKindsFilter()), std::vector<AcDbObjectId>{paperText});
  int status = 0;
  select(L"I", nullptr, &status);
  EXPECT_EQ(status, RTERROR) << "no pick-first set";

  ads_name first;
  ASSERT_EQ(acedSSAdd(nullptr, nullptr, first), RTNORM);
  for (AcDbObjectId id : {line, text1}) {
    ads_name name;
    acdbGetAdsName(name, id);
    ASSERT_EQ(acedSSAdd(name, first, first), RTNORM);
  }
  ASSERT_EQ(acedSSSetFirst(first, nullptr), RTNORM);
  acedSSFree(first);
  EXPECT_EQ(select(L"I", nullptr), (std::vector<AcDbObjectId>{line, text1}));
  EXPECT_EQ(select(L"I", textKindsFilter()), std::vector<AcDbObjectId>{text1});
}

// ---- Pick-first and commands -----------------------------------------------------------------

struct CommandSelection {
  int status = 0;
  std::vector<AcDbObjectId> members;
};
CommandSelection commandSelection;

void selectInsideCommand() {
  ads_name ss;
  commandSelection.status = acedSSGet(nullptr, nullptr, nullptr, nullptr, ss);
  if (commandSelection.status == RTNORM) {
    commandSelection.members = selectionMembers(ss);
    acedSSFree(ss);
  }
}

class PickFirstTest : public SelectionTest {
 protected:
  void SetUp() override {
    SelectionTest::SetUp();
    commandSelection = CommandSelection();
    ASSERT_EQ(acedRegCmds->addCommand(L"PICKFIRST_TESTS", L"USESPICKS", L"USESPICKS",
                                      ACRX_CMD_MODAL | ACRX_CMD_USEPICKSET, selectInsideCommand),
              Acad::eOk);
    ASSERT_EQ(acedRegCmds->addCommand(L"PICKFIRST_TESTS", L"IGNORESPICKS", L"IGNORESPICKS", ACRX_CMD_MODAL,
                                      selectInsideCommand),
              Acad::eOk);
    cadhost::setSelectionSource(&user);
    user.picks = {circle};
  }
  void TearDown() override {
    acedRegCmds->removeGroup(L"PICKFIRST_TESTS");
    SelectionTest::TearDown();
  }
  void pickFirst(const std::vector<AcDbObjectId>& ids) {
    ads_name ss;
    ASSERT_EQ(acedSSAdd(nullptr, nullptr, ss), RTNORM);
    for (AcDbObjectId id : ids) {
      ads_name name;
      acdbGetAdsName(name, id);
      acedSSAdd(name, ss, ss);
    }
    ASSERT_EQ(acedSSSetFirst(ss, nullptr), RTNORM);
    acedSSFree(ss);
  }
  std::vector<AcDbObjectId> currentPickFirst() {
    resbuf* gripped = nullptr;
    resbuf* picked = nullptr;
    EXPECT_EQ(acedSSGetFirst(&gripped, &picked), RTNORM);
    std::vector<AcDbObjectId> members;
    if (picked != nullptr) {
      EXPECT_EQ(picked->restype, RTPICKS);
      members = selectionMembers(picked->resval.rlname);
      acedSSFree(picked->resval.rlname);
      acutRelRb(picked);
    }
    if (gripped != nullptr) {
      acedSSFree(gripped->resval.rlname);
      acutRelRb(gripped);
    }
    return members;
  }
  ScriptedSelection user;
};

TEST_F(PickFirstTest, CommandsThatUseThePickSetGetItWithoutAPrompt) {
  pickFirst({text1, mtext});
  EXPECT_EQ(currentPickFirst(), (std::vector<AcDbObjectId>{text1, mtext}));
  ASSERT_TRUE(cadhost::runCommand(L"USESPICKS"));
  EXPECT_EQ(commandSelection.status, RTNORM);
  EXPECT_EQ(commandSelection.members, (std::vector<AcDbObjectId>{text1, mtext}));
  EXPECT_EQ(user.prompts, 0);
  EXPECT_TRUE(currentPickFirst().empty()) << "the pick-first set is gone after the command";
}

TEST_F(PickFirstTest, OtherCommandsPromptAndLoseThePickSet) {
  pickFirst({text1, mtext});
  ASSERT_TRUE(cadhost::runCommand(L"IGNORESPICKS"));
  EXPECT_EQ(commandSelection.members, std::vector<AcDbObjectId>{circle});
  EXPECT_EQ(user.prompts, 1);
  EXPECT_TRUE(currentPickFirst().empty());

  // Without a pick-first set even a command that takes one prompts.
  ASSERT_TRUE(cadhost::runCommand(L"USESPICKS"));
  EXPECT_EQ(commandSelection.members, std::vector<AcDbObjectId>{circle});
  EXPECT_EQ(user.prompts, 2);
}

TEST_F(PickFirstTest, OutsideCommandsThePickSetIsNotUsedByAPrompt) {
  pickFirst({text1});
  EXPECT_EQ(select(nullptr, nullptr), std::vector<AcDbObjectId>{circle});
  EXPECT_EQ(currentPickFirst(), std::vector<AcDbObjectId>{text1});
  ASSERT_EQ(acedSSSetFirst(nullptr, nullptr), RTNORM);
  EXPECT_TRUE(currentPickFirst().empty());
  cadhost::clearPickFirst();
}

// ---- Selection-set functions -----------------------------------------------------------------

TEST_F(SelectionTest, SetsGrowShrinkAndAnswerMembership) {
  ads_name lineName, textName;
  ASSERT_EQ(acdbGetAdsName(lineName, line), Acad::eOk);
  ASSERT_EQ(acdbGetAdsName(textName, text1), Acad::eOk);
  AcDbObjectId back;
  ASSERT_EQ(acdbGetObjectId(back, lineName), Acad::eOk);
  EXPECT_EQ(back, line);
  ads_name nullName;
  EXPECT_EQ(acdbGetAdsName(nullName, AcDbObjectId::kNull), Acad::eNullObjectId);

  ads_name ss;
  ASSERT_EQ(acedSSAdd(lineName, nullptr, ss), RTNORM);
  EXPECT_EQ(acedSSMemb(lineName, ss), RTNORM);
  EXPECT_EQ(acedSSMemb(textName, ss), RTERROR);
  ASSERT_EQ(acedSSAdd(textName, ss, ss), RTNORM);
  ASSERT_EQ(acedSSAdd(textName, ss, ss), RTNORM);
  Adesk::Int32 length = 0;
  ASSERT_EQ(acedSSLength(ss, &length), RTNORM);
  EXPECT_EQ(length, 2) << "an entity is in a set once";
  ads_name member;
  EXPECT_EQ(acedSSName(ss, 2, member), RTERROR);
  EXPECT_EQ(acedSSName(ss, -1, member), RTERROR);
  AcDbObjectId notAnEntity;
  EXPECT_EQ(acdbGetObjectId(notAnEntity, ss), Acad::eInvalidInput) << "a set is no entity";

  EXPECT_EQ(acedSSDel(lineName, ss), RTNORM);
  EXPECT_EQ(acedSSDel(lineName, ss), RTERROR);
  EXPECT_EQ(selectionMembers(ss), std::vector<AcDbObjectId>{text1});
  EXPECT_EQ(acedSSFree(ss), RTNORM);
  EXPECT_EQ(acedSSFree(ss), RTERROR);
  EXPECT_EQ(acedSSLength(ss, &length), RTERROR);
  EXPECT_EQ(acedSSAdd(lineName, ss, ss), RTERROR) << "a freed set takes nothing";

  ads_name last;
  ASSERT_EQ(acdbEntLast(last), RTNORM);
  ASSERT_EQ(acdbGetObjectId(back, last), Acad::eOk);
  EXPECT_EQ(back, paperText);
}

TEST_F(SelectionTest, ClosingADrawingTakesItsEntitiesOutOfSetsAndThePickFirstSet) {
  auto* otherDb = new AcDbDatabase(true);
  AcApDocument* other = cadhost::openDocument(otherDb, true, L"Other.dwg");
  AcDbObjectId foreignId;
  {
    AcAxDocLock otherLock(otherDb, AcAxDocLock::kCurDocSwitch);
    AcDbBlockTableRecord* model = nullptr;
    ASSERT_EQ(acdbOpenObject(model, otherDb->modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    auto* foreign = new AcDbText(AcGePoint3d(), L"In the other drawing");
    ASSERT_EQ(model->appendAcDbEntity(foreignId, foreign), Acad::eOk);
    foreign->close();
    model->close();
  }

  ads_name foreignName, lineName, ss;
  acdbGetAdsName(foreignName, foreignId);
  acdbGetAdsName(lineName, line);
  ASSERT_EQ(acedSSAdd(foreignName, nullptr, ss), RTNORM);
  ASSERT_EQ(acedSSAdd(lineName, ss, ss), RTNORM);
  ASSERT_EQ(acedSSSetFirst(ss, nullptr), RTNORM);
  cadhost::closeDocument(other);

  EXPECT_EQ(selectionMembers(ss), std::vector<AcDbObjectId>{line});
  EXPECT_EQ(select(L"I", nullptr), std::vector<AcDbObjectId>{line});
  EXPECT_EQ(acedSSFree(ss), RTNORM);
}

// ---- Answers typed at the selection prompt ---------------------------------------------------

TEST_F(SelectionTest, TypedAnswers) {
  std::vector<AcDbObjectId> objects;
  std::wstring message;
  ASSERT_TRUE(cadhost::parseSelectionAnswer(db, L"ALL", objects, message));
  EXPECT_EQ(objects.size(), 16u) << "every entity of the current space";
  EXPECT_EQ(std::count(objects.begin(), objects.end(), paperText), 0);

  objects.clear();
  ASSERT_TRUE(cadhost::parseSelectionAnswer(db, handleText(text2) + L" " + handleText(line), objects, message));
  EXPECT_EQ(objects, (std::vector<AcDbObjectId>{text2, line}));
  ASSERT_TRUE(cadhost::parseSelectionAnswer(db, L"l", objects, message));
  EXPECT_EQ(objects, (std::vector<AcDbObjectId>{text2, line, paperText}));
  ASSERT_TRUE(cadhost::parseSelectionAnswer(db, L"all", objects, message));
  EXPECT_EQ(objects.size(), 17u) << "no entity twice";

  objects.clear();
  ASSERT_TRUE(cadhost::parseSelectionAnswer(db, L"W 0.5,0.5 10,10", objects, message));
  EXPECT_EQ(objects, (std::vector<AcDbObjectId>{line, circle, text1}));
  objects.clear();
  ASSERT_TRUE(cadhost::parseSelectionAnswer(db, L"C 10,10 0.5,-1", objects, message));
  EXPECT_EQ(std::count(objects.begin(), objects.end(), polyline), 1) << "the long polyline crosses the window";
  EXPECT_EQ(std::count(objects.begin(), objects.end(), arc), 1);
  EXPECT_EQ(std::count(objects.begin(), objects.end(), text2), 0);
  EXPECT_EQ(std::count(objects.begin(), objects.end(), hatch), 0) << "an entity without extents is never in a window";
}

TEST_F(SelectionTest, TypedAnswersPickOnlyWhatTheDrawingShows) {
  const AcDbObjectId frozenLayer = addLayer(L"Frozen"), offLayer = addLayer(L"Off");
  change<AcDbLayerTableRecord>(frozenLayer, [](AcDbLayerTableRecord* l) { l->setIsFrozen(true); });
  change<AcDbLayerTableRecord>(offLayer, [](AcDbLayerTableRecord* l) { l->setIsOff(true); });
  const AcDbObjectId onFrozen = addText(L"frozen", AcGePoint3d(1, 1, 0)), onOff = addText(L"off", AcGePoint3d(1, 1, 0));
  change<AcDbEntity>(onFrozen, [&](AcDbEntity* e) { e->setLayer(frozenLayer); });
  change<AcDbEntity>(onOff, [&](AcDbEntity* e) { e->setLayer(offLayer); });
  const auto picked = [&](const wchar_t* answer, AcDbObjectId id) {
    std::vector<AcDbObjectId> objects;
    std::wstring message;
    EXPECT_TRUE(cadhost::parseSelectionAnswer(db, answer, objects, message));
    return std::count(objects.begin(), objects.end(), id) == 1;
  };
  // ALL leaves out frozen layers only; a window also layers that are off; a handle picks either.
  EXPECT_FALSE(picked(L"ALL", onFrozen));
  EXPECT_TRUE(picked(L"ALL", onOff));
  for (const wchar_t* window : {L"W -10,-10 100,100", L"C -10,-10 100,100"}) {
    EXPECT_FALSE(picked(window, onFrozen)) << window;
    EXPECT_FALSE(picked(window, onOff)) << window;
  }
  EXPECT_TRUE(picked(handleText(onOff).c_str(), onOff));
}

TEST_F(SelectionTest, AnswersThatAreNotUnderstoodExplainThemselves) {
  const std::wstring bad[] = {L"", L"   ", L"W 1,2", L"W 0 0 10 10", L"C 0,0", L"ZZZ", L"FFFFFF",
                              handleText(db->layerTableId()), handleText(line) + L" nonsense"};
  for (const std::wstring& answer : bad) {
    std::vector<AcDbObjectId> objects;
    std::wstring message;
    EXPECT_FALSE(cadhost::parseSelectionAnswer(db, answer, objects, message)) << testing::PrintToString(answer);
    EXPECT_FALSE(message.empty()) << testing::PrintToString(answer);
  }
  std::vector<AcDbObjectId> objects;
  std::wstring message;
  EXPECT_FALSE(cadhost::parseSelectionAnswer(nullptr, L"ALL", objects, message)) << "no drawing to select from";
  EXPECT_FALSE(message.empty());
  EXPECT_EQ(cadhost::openObjectCount(nullptr), 0);
}

}  // namespace
