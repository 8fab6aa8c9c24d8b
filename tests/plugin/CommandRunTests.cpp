// One run of TE from the command line: selection, classification into a Text, MText or
// Dimension run, the bracket around the editor, and what the run leaves behind.
#include "PluginHost.h"
#include "acedads.h"

namespace plugintest {
namespace {

using cadhost::HostEventKind;

const std::wstring kOnlyTextAllowedEnglish = L"\nOnly DTEXT, MTEXT and DIMENSION entities allowed";
const std::wstring kOnlyTextAllowedRussian = L"\nРазрешены только объекты ТЕКСТ, МТЕКСТ и РАЗМЕР";
std::wstring onlyTextAllowed() { return russianUser() ? kOnlyTextAllowedRussian : kOnlyTextAllowedEnglish; }

class CommandRunTest : public PluginTest {};

TEST_F(CommandRunTest, ACancelledSelectionEndsTheRunQuietly) {
  addText(0, 0, L"kept");
  const int setsBefore = cadhost::openSelectionSetCount();
  selection.cancel();
  EXPECT_FALSE(runTE());
  EXPECT_EQ(selection.prompts, 1);
  EXPECT_EQ(commandLine, L"");
  EXPECT_EQ(cadhost::countHostEvents(HostEventKind::DocumentActivationDisabled), 0);
  EXPECT_EQ(cadhost::countHostEvents(HostEventKind::TextAreasRestored), 0);
  EXPECT_EQ(cadhost::openSelectionSetCount(), setsBefore);
  EXPECT_TRUE(acDocManagerPtr()->isDocumentActivationEnabled());
}

TEST_F(CommandRunTest, ASelectionWithoutTextObjectsEndsTheRunQuietly) {
  const AcDbObjectId line = addLine();
  selection.pick({line});  // the filter leaves nothing: an empty selection
  EXPECT_FALSE(runTE());
  EXPECT_EQ(commandLine, L"");
  EXPECT_EQ(cadhost::countHostEvents(HostEventKind::DocumentActivationDisabled), 0);
}

TEST_F(CommandRunTest, ThreeTextsAndAnMTextMakeATextRunOverTheThree) {
  const AcDbObjectId a = addText(0, 20, L"first");
  const AcDbObjectId mtext = addMText(L"left alone");
  const AcDbObjectId b = addText(0, 10, L"second");
  const AcDbObjectId c = addText(0, 0, L"third");
  selection.pick({a, mtext, b, c});
  std::wstring shown, kind;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    shown = d.editorText();
    kind = d.statusPane(2);
  })}));
  EXPECT_EQ(kind, L"DTEXT");
  EXPECT_EQ(shown, L"first\rsecond\rthird");
  EXPECT_EQ(textOf(mtext), L"left alone");
}

TEST_F(CommandRunTest, ADimensionBeforeAnMTextMakesADimensionRun) {
  const AcDbObjectId dimension = addDimension(L"<> mm");
  const AcDbObjectId mtext = addMText(L"not edited");
  selection.pick({dimension, mtext});
  std::wstring kind, shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    kind = d.statusPane(2);
    shown = d.editorText();
  })}));
  EXPECT_EQ(kind, L"DIM");
  EXPECT_EQ(shown, L"<> mm");
}

TEST_F(CommandRunTest, AnMTextAloneMakesAnMTextRun) {
  selection.pick({addMText(L"one")});
  std::wstring kind;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { kind = d.statusPane(2); })}));
  EXPECT_EQ(kind, L"MTEXT");
}

TEST_F(CommandRunTest, ObjectsSelectedBeforeTheCommandServeWithoutAPrompt) {
  const AcDbObjectId line = addLine();
  const AcDbObjectId text = addText(0, 0, L"picked first");
  ads_name entity, set;
  acdbGetAdsName(entity, line);
  ASSERT_EQ(acedSSAdd(entity, nullptr, set), RTNORM);
  acdbGetAdsName(entity, text);
  acedSSAdd(entity, set, set);
  acedSSSetFirst(set, nullptr);
  acedSSFree(set);

  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); })}));
  EXPECT_EQ(selection.prompts, 0);
  EXPECT_EQ(shown, L"picked first");
}

TEST_F(CommandRunTest, ANonTextSelectionIsRefusedInTheUsersLanguage) {
  // The message needs an entity that passes the filter by its type name and is none of the three
  // kinds the editor knows: a TEXT record that this host keeps unmodelled stands for one.
  auto* pretender = new AcDbUnmodeledEntity(L"TEXT");
  selection.pick({append(pretender)});
  EXPECT_FALSE(runTE());
  EXPECT_EQ(commandLine, onlyTextAllowed());
}

// Held open for write by another tool (opened under that tool's own lock): it cannot be read.
AcDbText* holdOpenForWrite(AcDbDatabase* db, AcDbObjectId id) {
  AcAxDocLock lock(db);
  AcDbText* holder = nullptr;
  EXPECT_EQ(acdbOpenObject(holder, id, AcDb::kForWrite), Acad::eOk);
  return holder;
}

TEST_F(CommandRunTest, ATextThatCannotBeOpenedStillMakesATextRunAndIsReportedAsAFailure) {
  const AcDbObjectId mtext = addMText(L"not to be edited instead");
  const AcDbObjectId text = addText(0, 0, L"held open");
  selection.pick({mtext, text});
  AcDbText* holder = holdOpenForWrite(db, text);
  EXPECT_FALSE(runTE()) << "no dialog: the MTEXT is not edited in the TEXT's place";
  holder->close();
  EXPECT_EQ(failureReports(), 1) << commandLine;
  EXPECT_NE(commandLine.find(L": eWasOpenForWrite\n"), std::wstring::npos) << commandLine;
  EXPECT_EQ(commandLine.find(onlyTextAllowed()), std::wstring::npos) << "it is a failure, not a wrong kind";
  EXPECT_EQ(textOf(mtext), L"not to be edited instead");
}

TEST_F(CommandRunTest, AnMTextThatCannotBeOpenedIsReportedAsAFailureNotAsAWrongKind) {
  const AcDbObjectId mtext = addMText(L"held open");
  selection.pick({mtext});
  AcDbMText* holder = nullptr;
  {
    AcAxDocLock lock(db);
    ASSERT_EQ(acdbOpenObject(holder, mtext, AcDb::kForWrite), Acad::eOk);
  }
  EXPECT_FALSE(runTE());
  holder->close();
  EXPECT_EQ(failureReports(), 1) << commandLine;
  EXPECT_NE(commandLine.find(L": eWasOpenForWrite\n"), std::wstring::npos) << commandLine;
  EXPECT_EQ(commandLine.find(onlyTextAllowed()), std::wstring::npos) << commandLine;
  // The run still ends normally: the bracket is closed and the display restored.
  EXPECT_EQ(cadhost::countHostEvents(HostEventKind::DocumentActivationDisabled), 1);
  EXPECT_EQ(cadhost::countHostEvents(HostEventKind::DocumentActivationEnabled), 1);
  EXPECT_EQ(cadhost::countHostEvents(HostEventKind::TextAreasRestored), 1);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);
}

TEST_F(CommandRunTest, TheEndOfARunRestoresTheHostsDisplayAndFreesTheSelection) {
  cadhost::setStandardTextArea(-1, L"standard status");
  const int setsBefore = cadhost::openSelectionSetCount();
  selection.pick({addText(0, 0, L"x")});
  bool bracketHeld = false;
  EXPECT_TRUE(runTE({act([&](Dialog&) {
    // No other drawing can become current while the editor is open.
    bracketHeld = !acDocManagerPtr()->isDocumentActivationEnabled();
    acedGrText(-1, L"changed while editing", 0);
  })}));
  EXPECT_TRUE(bracketHeld);
  EXPECT_TRUE(acDocManagerPtr()->isDocumentActivationEnabled());
  EXPECT_EQ(cadhost::textArea(-1), L"standard status");
  EXPECT_GE(cadhost::countHostEvents(HostEventKind::Redrawn), 1);
  EXPECT_EQ(cadhost::openSelectionSetCount(), setsBefore);
  EXPECT_EQ(cadhost::openObjectCount(db), 0);
}

TEST_F(CommandRunTest, TEIsRefusedWhileTEIsRunningAndTheRunGoesOn) {
  const AcDbObjectId text = addText(0, 0, L"edited");
  selection.pick({text});
  bool handled = false;
  std::wstring printed;
  EXPECT_TRUE(runTE({act([&](Dialog&) {
                       handled = cadhost::runCommand(L"TE");  // as if typed while the editor is open
                       printed = cadhost::takeCommandLineOutput();
                     }),
                     act([](Dialog& d) {
                       d.select(0, 0);
                       d.type(L"!");
                     })}));
  EXPECT_TRUE(handled);
  EXPECT_EQ(printed, L"** That command may not be invoked transparently **\n");
  EXPECT_EQ(selection.prompts, 1) << "the refused run asked for nothing";
  EXPECT_EQ(textOf(text), L"!edited") << "the first run went on";
  selection.pick({text});
  EXPECT_TRUE(runTE()) << "and TE runs again afterwards";
}

TEST_F(CommandRunTest, TwoRunsInARowStartAfresh) {
  const AcDbObjectId first = addText(0, 0, L"first run");
  const AcDbObjectId mtext = addMText(L"second run");
  selection.pick({first});
  std::wstring shown;
  EXPECT_TRUE(runTE({act([&](Dialog& d) { shown = d.editorText(); })}));
  EXPECT_EQ(shown, L"first run");
  selection.pick({mtext});
  std::wstring kind;
  EXPECT_TRUE(runTE({act([&](Dialog& d) {
    shown = d.editorText();
    kind = d.statusPane(2);
  })}));
  EXPECT_EQ(shown, L"second run");
  EXPECT_EQ(kind, L"MTEXT");
}

}  // namespace
}  // namespace plugintest
