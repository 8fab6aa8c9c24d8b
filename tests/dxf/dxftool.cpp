// A small command-line host for the drawing-file tests: reads a drawing, shows what the database
// holds as JSON (one object per line), makes edits through the host's open/close protocol and
// saves. The Python cross-checks drive it.
//
//   dxftool dump FILE                       the drawing as the host sees it
//   dxftool copy FILE OUT                   read and write back
//   dxftool new OUT                         a drawing the host makes, with a few texts, saved
//   dxftool edit FILE OUT EDIT...           edits, then write; EDIT is one of
//       settext HANDLE TEXT                 a TEXT's or MTEXT's text, a DIMENSION's override
//       clone HANDLE                        a copy appended to the same block (prints its handle)
//       erase HANDLE
//       alltexts SUFFIX                     every TEXT's text gets SUFFIX appended
//       lock LAYER                          locks a layer
//   Messages of reading and writing go to standard error; the exit status is 0 on success, 2
//   when the file was refused, 3 when it could not be written.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "../../cadhost/core/coreaccess.h"
#include "../../cadhost/core/hostservices.h"
#include "../../cadhost/sdk/dbdim.h"
#include "dxffile.h"
#include "textcodec.h"

using cadhost::dxf::fromUtf8;
using cadhost::dxf::toUtf8;

namespace {

std::string json(const std::wstring& s) {
  std::string out = "\"";
  for (char c : toUtf8(s)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char b[8];
          std::snprintf(b, sizeof b, "\\u%04x", c);
          out += b;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string num(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}

std::string point(const AcGePoint3d& p) { return "[" + num(p.x) + "," + num(p.y) + "," + num(p.z) + "]"; }

std::string handleOf(AcDbObjectId id) {
  if (id.isNull()) return "\"\"";
  ACHAR buffer[20];
  id.handle().getIntoAsciiBuffer(buffer, 20);
  return json(buffer);
}

std::wstring nameOf(AcDbObjectId id) {
  const auto* record = AcDbCore::objectAs<AcDbSymbolTableRecord>(id);
  return record ? AcDbCore::name(record) : L"";
}

std::string fieldsOf(const AcDbObject* obj) {
  std::string out;
  AcDbFieldTable* table = AcDbCore::fields(obj);
  if (table == nullptr) return out;
  for (const auto& slot : table->slots) {
    const auto* field = AcDbCore::objectAs<AcDbField>(slot.id);
    if (field == nullptr || slot.id.isErased()) continue;
    if (!out.empty()) out += ",";
    out += json(slot.property) + ":" + json(field->getFieldCode(AcDbField::kAddMarkers));
  }
  return out.empty() ? out : ",\"fields\":{" + out + "}";
}

void dumpEntity(AcDbObjectId id, const std::wstring& space) {
  const auto* ent = AcDbCore::objectAs<AcDbEntity>(id);
  if (ent == nullptr) return;
  std::string line = "{\"kind\":\"entity\",\"handle\":" + handleOf(id) + ",\"type\":" + json(ent->typeName()) +
                     ",\"owner\":" + handleOf(ent->ownerId()) + ",\"space\":" + json(space) +
                     ",\"layer\":" + json(nameOf(ent->layerId())) + ",\"color\":" + std::to_string(ent->colorIndex());
  if (const auto* t = AcDbText::cast(ent)) {
    line += ",\"text\":" + json(t->textStringConst()) + ",\"position\":" + point(t->position()) +
            ",\"alignment\":" + point(t->alignmentPoint()) + ",\"height\":" + num(t->height()) +
            ",\"rotation\":" + num(t->rotation()) + ",\"widthFactor\":" + num(t->widthFactor()) +
            ",\"oblique\":" + num(t->oblique()) + ",\"style\":" + json(nameOf(t->textStyle())) +
            ",\"halign\":" + std::to_string(t->horizontalMode()) + ",\"valign\":" + std::to_string(t->verticalMode());
  } else if (const auto* m = AcDbMText::cast(ent)) {
    line += ",\"text\":" + json(m->contentsConst()) + ",\"position\":" + point(m->location()) +
            ",\"height\":" + num(m->textHeight()) + ",\"width\":" + num(m->width()) + ",\"rotation\":" + num(m->rotation()) +
            ",\"attachment\":" + std::to_string(m->attachment()) + ",\"lineSpacing\":" + num(m->lineSpacingFactor()) +
            ",\"lineSpacingStyle\":" + std::to_string(m->lineSpacingStyle()) + ",\"style\":" + json(nameOf(m->textStyle()));
  } else if (const auto* d = AcDbDimension::cast(ent)) {
    double measurement = 0;
    d->measurement(measurement);
    line += ",\"text\":" + json(d->dimensionTextConst()) + ",\"dimstyle\":" + json(nameOf(d->dimensionStyle())) +
            ",\"class\":" + json(d->isA()->name()) + ",\"textPosition\":" + point(d->textPosition()) +
            ",\"measurement\":" + num(measurement) + ",\"block\":" + json(nameOf(d->dimBlockId()));
    if (d->hasDimtxtOverride()) line += ",\"dimtxt\":" + num(d->dimtxt());
    if (d->hasDimtxstyOverride()) line += ",\"dimtxsty\":" + json(nameOf(d->dimtxsty()));
  } else if (const auto* l = AcDbLine::cast(ent)) {
    line += ",\"start\":" + point(l->startPoint()) + ",\"end\":" + point(l->endPoint());
  } else if (const auto* c = AcDbCircle::cast(ent)) {
    line += ",\"center\":" + point(c->center()) + ",\"radius\":" + num(c->radius());
  } else if (const auto* a = AcDbArc::cast(ent)) {
    line += ",\"center\":" + point(a->center()) + ",\"radius\":" + num(a->radius()) + ",\"startAngle\":" + num(a->startAngle()) +
            ",\"endAngle\":" + num(a->endAngle());
  } else if (const auto* p = AcDbPolyline::cast(ent)) {
    line += ",\"vertices\":" + std::to_string(p->numVerts()) + ",\"closed\":" + (p->isClosed() ? "true" : "false");
  } else if (const auto* b = AcDbBlockReference::cast(ent)) {
    line += ",\"block\":" + json(nameOf(b->blockTableRecord())) + ",\"position\":" + point(b->position());
  }
  line += fieldsOf(ent);
  std::cout << line << "}\n";
}

void dump(AcDbDatabase* db) {
  AcDbImpDatabase* imp = AcDbCore::imp(db);
  std::cout << "{\"kind\":\"header\",\"handseed\":" << handleOf(AcDbObjectId()) << ",\"lunits\":" << db->lunits()
            << ",\"luprec\":" << db->luprec() << ",\"insunits\":" << db->insunits() << ",\"clayer\":" << json(nameOf(db->clayer()))
            << ",\"textstyle\":" << json(nameOf(db->textstyle())) << "}\n";
  if (const auto* layers = AcDbCore::objectAs<AcDbLayerTable>(imp->layerTable))
    for (AcDbObjectId id : AcDbCore::records(layers)) {
      const auto* l = AcDbCore::objectAs<AcDbLayerTableRecord>(id);
      if (l == nullptr || id.isErased()) continue;
      std::cout << "{\"kind\":\"layer\",\"name\":" << json(AcDbCore::name(l)) << ",\"locked\":" << (l->isLocked() ? "true" : "false")
                << ",\"frozen\":" << (l->isFrozen() ? "true" : "false") << ",\"off\":" << (l->isOff() ? "true" : "false")
                << ",\"color\":" << l->colorIndex() << "}\n";
    }
  if (const auto* styles = AcDbCore::objectAs<AcDbTextStyleTable>(imp->textStyleTable))
    for (AcDbObjectId id : AcDbCore::records(styles)) {
      const auto* s = AcDbCore::objectAs<AcDbTextStyleTableRecord>(id);
      if (s == nullptr || id.isErased()) continue;
      const ACHAR* font = L"";
      s->fileName(font);
      std::cout << "{\"kind\":\"style\",\"name\":" << json(AcDbCore::name(s)) << ",\"font\":" << json(font)
                << ",\"height\":" << num(s->textSize()) << ",\"widthFactor\":" << num(s->xScale()) << "}\n";
    }
  if (const auto* blocks = AcDbCore::objectAs<AcDbBlockTable>(imp->blockTable))
    for (AcDbObjectId id : AcDbCore::records(blocks)) {
      const auto* b = AcDbCore::objectAs<AcDbBlockTableRecord>(id);
      if (b == nullptr || id.isErased()) continue;
      std::cout << "{\"kind\":\"block\",\"name\":" << json(AcDbCore::name(b)) << ",\"handle\":" << handleOf(id)
                << ",\"layout\":" << json(b->layoutName()) << ",\"entities\":" << b->entityCount() << "}\n";
      for (AcDbObjectId e : AcDbCore::entities(b))
        if (!e.isErased()) dumpEntity(e, AcDbCore::name(b));
    }
}

AcDbObjectId byHandle(AcDbDatabase* db, const std::string& hex) {
  AcDbObjectId id;
  db->getAcDbObjectId(id, false, AcDbHandle(fromUtf8(hex).c_str()));
  return id;
}

bool setText(AcDbDatabase* db, const std::string& handle, const std::wstring& text) {
  AcDbEntity* ent = nullptr;
  if (acdbOpenObject(ent, byHandle(db, handle), AcDb::kForWrite) != Acad::eOk) return false;
  Acad::ErrorStatus es = Acad::eNotApplicable;
  if (auto* t = AcDbText::cast(ent)) es = t->setTextString(text.c_str());
  else if (auto* m = AcDbMText::cast(ent)) es = m->setContents(text.c_str());
  else if (auto* d = AcDbDimension::cast(ent)) es = d->setDimensionText(text.c_str());
  ent->close();
  return es == Acad::eOk;
}

// A drawing made by the host: texts in model space, on a locked layer, in a block and on the
// paper space layout, a multi-line text and a dimension.
int makeNewDrawing(const std::wstring& path) {
  AcDbDatabase db;
  AcDbLayerTable* layers = nullptr;
  db.getLayerTable(layers, AcDb::kForWrite);
  auto* notes = new AcDbLayerTableRecord;
  notes->setName(L"Notes");
  notes->setColorIndex(3);
  AcDbObjectId notesId;
  layers->add(notesId, notes);
  notes->setIsLocked(true);
  notes->close();
  layers->close();
  AcDbBlockTable* blocks = nullptr;
  db.getBlockTable(blocks, AcDb::kForWrite);
  auto* title = new AcDbBlockTableRecord;
  title->setName(L"Title");
  AcDbObjectId titleId;
  blocks->add(titleId, title);
  auto* inBlock = new AcDbText(AcGePoint3d(1, 1, 0), L"TITLE BLOCK TEXT", AcDbObjectId(), 3.5, 0);
  title->appendAcDbEntity(inBlock);
  inBlock->close();
  title->close();
  AcDbBlockTableRecord* paper = nullptr;
  blocks->getAt(ACDB_PAPER_SPACE, paper, AcDb::kForWrite);
  auto* onPaper = new AcDbText(AcGePoint3d(10, 10, 0), L"Paper note", AcDbObjectId(), 2.5, 0);
  paper->appendAcDbEntity(onPaper);
  onPaper->close();
  auto* insert = new AcDbBlockReference(AcGePoint3d(100, 10, 0), titleId);
  paper->appendAcDbEntity(insert);
  insert->close();
  paper->close();
  AcDbBlockTableRecord* model = nullptr;
  blocks->getAt(ACDB_MODEL_SPACE, model, AcDb::kForWrite);
  blocks->close();
  auto* text = new AcDbText(AcGePoint3d(0, 0, 0), L"Привет from a new drawing", AcDbObjectId(), 2.5, 0.5);
  model->appendAcDbEntity(text);
  text->close();
  auto* locked = new AcDbText(AcGePoint3d(0, 10, 0), L"on a locked layer", AcDbObjectId(), 2.5, 0);
  locked->setLayer(notesId);
  model->appendAcDbEntity(locked);
  locked->close();
  auto* mtext = new AcDbMText;
  mtext->setLocation(AcGePoint3d(0, 20, 0));
  mtext->setContents(L"First line\\PSecond line");
  mtext->setTextHeight(2.0);
  model->appendAcDbEntity(mtext);
  mtext->close();
  auto* dim = new AcDbRotatedDimension(0, AcGePoint3d(0, 0, 0), AcGePoint3d(30, 0, 0), AcGePoint3d(0, -5, 0), L"<> mm");
  model->appendAcDbEntity(dim);
  dim->close();
  auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(30, 0, 0));
  model->appendAcDbEntity(line);
  line->close();
  model->close();
  const cadhost::dxf::WriteResult written = cadhost::dxf::writeDrawing(&db, path);
  for (const auto& m : written.messages) std::cerr << toUtf8(m.toString()) << "\n";
  return written.ok ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  cadhost::HostReadScope hostReads;  // a tool of the host: it reads drawings as the host does
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 2) {
    std::cerr << "usage: dxftool dump|copy|edit FILE [OUT] [EDIT...]\n";
    return 1;
  }
  const std::string command = args[0];
  if (command == "new") return makeNewDrawing(fromUtf8(args[1]));
  cadhost::dxf::ReadOptions options;
  options.recover = std::getenv("DXFTOOL_RECOVER") != nullptr;
  cadhost::dxf::ReadResult read = cadhost::dxf::readDrawing(fromUtf8(args[1]), options);
  for (const auto& m : read.messages) std::cerr << toUtf8(m.toString()) << "\n";
  if (!read.ok()) return 2;
  AcDbDatabase* db = read.database.get();
  if (command == "dump") {
    dump(db);
    return 0;
  }
  if (args.size() < 3) return 1;
  for (size_t i = 3; i < args.size(); ++i) {
    const std::string& edit = args[i];
    if (edit == "settext" && i + 2 < args.size()) {
      if (!setText(db, args[i + 1], fromUtf8(args[i + 2]))) std::cerr << "cannot set the text of " << args[i + 1] << "\n";
      i += 2;
    } else if (edit == "clone" && i + 1 < args.size()) {
      AcDbEntity* ent = nullptr;
      if (acdbOpenObject(ent, byHandle(db, args[i + 1]), AcDb::kForRead) == Acad::eOk) {
        auto* copy = AcDbEntity::cast(ent->clone());
        AcDbBlockTableRecord* block = nullptr;
        const AcDbObjectId owner = ent->ownerId();
        ent->close();
        if (copy && acdbOpenObject(block, owner, AcDb::kForWrite) == Acad::eOk) {
          AcDbObjectId id;
          block->appendAcDbEntity(id, copy);
          copy->close();
          block->close();
          std::cout << toUtf8(std::wstring(L"clone ")) << handleOf(id) << "\n";
        }
      }
      i += 1;
    } else if (edit == "erase" && i + 1 < args.size()) {
      AcDbObject* obj = nullptr;
      if (acdbOpenObject(obj, byHandle(db, args[i + 1]), AcDb::kForWrite) == Acad::eOk) {
        obj->erase();
        obj->close();
      } else {
        std::cerr << "cannot erase " << args[i + 1] << "\n";
      }
      i += 1;
    } else if (edit == "alltexts" && i + 1 < args.size()) {
      const std::wstring suffix = fromUtf8(args[i + 1]);
      auto& stubs = AcDbCore::imp(db)->stubs;  // by position: changed texts may add stubs (fields)
      for (size_t k = 0, n = stubs.size(); k < n; ++k) {
        AcDbStub& stub = stubs[k];
        auto* t = AcDbText::cast(stub.object());
        if (t == nullptr || stub.erased || t->isNewObject()) continue;
        AcDbText* open = nullptr;
        if (acdbOpenObject(open, AcDbObjectId(&stub), AcDb::kForWrite) != Acad::eOk) continue;
        open->setTextString((std::wstring(open->textStringConst()) + suffix).c_str());
        open->close();
      }
      i += 1;
    } else if (edit == "lock" && i + 1 < args.size()) {
      AcDbLayerTable* layers = nullptr;
      if (db->getLayerTable(layers, AcDb::kForRead) == Acad::eOk) {
        AcDbLayerTableRecord* layer = nullptr;
        if (layers->getAt(fromUtf8(args[i + 1]).c_str(), layer, AcDb::kForWrite) == Acad::eOk) {
          layer->setIsLocked(true);
          layer->close();
        }
        layers->close();
      }
      i += 1;
    } else {
      std::cerr << "unknown edit " << edit << "\n";
      return 1;
    }
  }
  const cadhost::dxf::WriteResult written = cadhost::dxf::writeDrawing(db, fromUtf8(args[2]));
  for (const auto& m : written.messages) std::cerr << toUtf8(m.toString()) << "\n";
  return written.ok ? 0 : 3;
}
