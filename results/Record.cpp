#include "results/Record.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {
const char kJournalFormat[] = "scaliper journal";
const char kFiguresFormat[] = "scaliper figures";
constexpr int kVersion = 1;  // of the journal
// Of the figures file: version 2 numbers each figure's object; version 1
// files, of one object an image, are read as they are.
constexpr int kFiguresVersion = 2;
// Points far outside any picture the program can open; anything beyond is
// taken for damage.
constexpr double kFarthest = 1e9;

double Finite(double v) { return std::isfinite(v) ? v : 0.0; }

QJsonArray PointsJson(const std::vector<QPointF> &points) {
  QJsonArray a;
  for (const QPointF &p : points) {
    a.append(Finite(p.x()));
    a.append(Finite(p.y()));
  }
  return a;
}

QJsonArray TextsJson(const QStringList &texts) { return QJsonArray::fromStringList(texts); }

// Readers: each says whether the value is there and of the right kind.
bool ReadInt(const QJsonObject &o, const char *key, int lowest, int highest, int &out) {
  const QJsonValue v = o.value(QLatin1String(key));
  if (!v.isDouble()) return false;
  const double d = v.toDouble();
  if (!(d >= lowest && d <= highest) || d != std::floor(d)) return false;
  out = int(d);
  return true;
}

bool ReadDouble(const QJsonObject &o, const char *key, double &out) {
  const QJsonValue v = o.value(QLatin1String(key));
  if (!v.isDouble() || !std::isfinite(v.toDouble())) return false;
  out = v.toDouble();
  return true;
}

bool ReadText(const QJsonObject &o, const char *key, QString &out) {
  const QJsonValue v = o.value(QLatin1String(key));
  if (!v.isString()) return false;
  out = v.toString();
  return true;
}

bool ReadTexts(const QJsonValue &v, QStringList &out) {
  if (!v.isArray()) return false;
  out.clear();
  for (const QJsonValue &t : v.toArray()) {
    if (!t.isString()) return false;
    out << t.toString();
  }
  return true;
}

bool ReadPoints(const QJsonValue &v, std::vector<QPointF> &out) {
  if (!v.isArray()) return false;
  const QJsonArray a = v.toArray();
  if (a.size() % 2 != 0) return false;
  out.clear();
  for (qsizetype k = 0; k < a.size(); k += 2) {
    if (!a[k].isDouble() || !a[k + 1].isDouble()) return false;
    const double x = a[k].toDouble(), y = a[k + 1].toDouble();
    if (!(std::fabs(x) <= kFarthest && std::fabs(y) <= kFarthest)) return false;
    out.emplace_back(x, y);
  }
  return true;
}

QJsonObject ScaleJson(const TRecordedScale &s) {
  return QJsonObject{{"p", PointsJson({s.P1, s.P2})},
                     {"cm", s.KnownCm},
                     {"dpc", Finite(s.DotsPerCm)},
                     {"text", s.Text}};
}

bool ReadScale(const QJsonObject &o, TRecordedScale &s) {
  std::vector<QPointF> points;
  if (!ReadPoints(o.value(QLatin1String("p")), points) || points.size() != 2) return false;
  s.P1 = points[0];
  s.P2 = points[1];
  constexpr int kMax = std::numeric_limits<int>::max(), kMin = std::numeric_limits<int>::min();
  return ReadInt(o, "cm", kMin, kMax, s.KnownCm) && ReadDouble(o, "dpc", s.DotsPerCm) &&
         ReadText(o, "text", s.Text);
}

QJsonObject FigureJson(const TRecordedFigure &f) {
  QJsonObject o{{"def", f.Definition}, {"name", f.Name},         {"kind", f.Kind},
                {"p", PointsJson(f.Points)}, {"col", f.FirstColumn}, {"cells", TextsJson(f.Cells)},
                {"units", TextsJson(f.Units)}};
  if (f.Object > 1) o.insert("obj", f.Object);
  return o;
}

bool ReadFigure(const QJsonObject &o, TRecordedFigure &f) {
  constexpr int kMax = std::numeric_limits<int>::max();
  if (o.contains(QLatin1String("obj")) && !ReadInt(o, "obj", 1, kMax, f.Object)) return false;
  if (!ReadInt(o, "def", 1, kMax, f.Definition) || !ReadText(o, "name", f.Name) ||
      !ReadInt(o, "kind", -128, 127, f.Kind) || !ReadInt(o, "col", 0, kMax, f.FirstColumn) ||
      !ReadPoints(o.value(QLatin1String("p")), f.Points) || f.Points.size() < 2 ||
      !ReadTexts(o.value(QLatin1String("cells")), f.Cells) || !ReadTexts(o.value(QLatin1String("units")), f.Units))
    return false;
  // Every cell has its unit.
  return f.Units.size() == f.Cells.size();
}

QJsonArray DefinitionsJson(const std::vector<TRecordedDefinition> &defs) {
  QJsonArray out;
  for (const TRecordedDefinition &d : defs)
    out.append(QJsonObject{{"name", d.Name}, {"kind", d.Kind}, {"h", d.Height},
                           {"w", d.Width}, {"p", d.Perimeter}, {"a", d.Area}});
  return out;
}

bool ReadDefinitions(const QJsonValue &defs, std::vector<TRecordedDefinition> &out) {
  if (!defs.isArray()) return false;
  for (const QJsonValue &v : defs.toArray()) {
    if (!v.isObject()) return false;
    const QJsonObject d = v.toObject();
    TRecordedDefinition def;
    if (!ReadText(d, "name", def.Name) || !ReadInt(d, "kind", -128, 127, def.Kind)) return false;
    for (auto [key, flag] : {std::pair{"h", &def.Height}, std::pair{"w", &def.Width},
                             std::pair{"p", &def.Perimeter}, std::pair{"a", &def.Area}}) {
      const QJsonValue f = d.value(QLatin1String(key));
      if (!f.isBool()) return false;
      *flag = f.toBool();
    }
    out.push_back(def);
  }
  return true;
}

QJsonObject ImageJson(const TRecordedImage &image);
bool ReadImage(const QJsonObject &o, TRecordedImage &image);

bool ReadRows(const QJsonValue &v, std::vector<QStringList> &out) {
  if (!v.isArray()) return false;
  for (const QJsonValue &r : v.toArray()) {
    QStringList cells;
    if (!ReadTexts(r, cells)) return false;
    out.push_back(cells);
  }
  return true;
}

QJsonObject EntryJson(const TRecordEntry &e) {
  QJsonObject o;
  switch (e.Kind) {
    case TRecordEntry::Definitions: o = {{"t", "definitions"}, {"defs", DefinitionsJson(e.Defs)}}; break;
    case TRecordEntry::Images: o = {{"t", "images"}, {"files", TextsJson(e.Files)}}; break;
    case TRecordEntry::Continued: {
      QJsonArray rows;
      for (const QStringList &r : e.Rows) rows.append(TextsJson(r));
      o = {{"t", "continued"}, {"file", e.File}, {"sep", QString(QChar(e.Separator))},
           {"dec", e.Decimal.isNull() ? QString() : QString(e.Decimal)}, {"rows", rows}};
      if (std::any_of(e.Objects.begin(), e.Objects.end(), [](int k) { return k > 1; })) {
        QJsonArray objects;
        for (int k : e.Objects) objects.append(k);
        o.insert("objs", objects);
      }
      break;
    }
    case TRecordEntry::Scale:
      o = ScaleJson(e.ScaleValue);
      o.insert("t", "scale");
      o.insert("i", e.Image);
      if (e.RecordOnly) o.insert("recordOnly", true);
      break;
    case TRecordEntry::Figure:
      o = FigureJson(e.FigureValue);
      o.insert("t", "figure");
      o.insert("i", e.Image);
      if (!e.DotsPerCmCell.isEmpty()) o.insert("dpcCell", e.DotsPerCmCell);
      if (e.RecordOnly) o.insert("recordOnly", true);
      break;
    case TRecordEntry::Path: o = {{"t", "path"}, {"i", e.Image}, {"folder", e.Folder}}; break;
    case TRecordEntry::Saved: o = {{"t", "saved"}, {"file", e.File}, {"filter", e.FilterIndex}}; break;
    case TRecordEntry::Cells:
      o = {{"t", "cells"}, {"i", e.Image}, {"col", e.Column}, {"cells", TextsJson(e.Texts)}};
      if (e.Object > 1) o.insert("obj", e.Object);
      break;
    case TRecordEntry::State: {
      QJsonArray rows;
      for (const QStringList &r : e.Rows) rows.append(TextsJson(r));
      o = {{"t", "state"}, {"i", e.Image}, {"rows", rows}, {"record", ImageJson(e.ImageValue)}};
      break;
    }
  }
  return o;
}

bool ReadEntry(const QJsonObject &o, TRecordEntry &e) {
  const QString t = o.value(QLatin1String("t")).toString();
  const QJsonValue recordOnly = o.value(QLatin1String("recordOnly"));
  if (!recordOnly.isUndefined() && !recordOnly.isBool()) return false;
  e.RecordOnly = recordOnly.toBool();
  constexpr int kMax = std::numeric_limits<int>::max();
  if (t == QLatin1String("definitions")) {
    e.Kind = TRecordEntry::Definitions;
    return ReadDefinitions(o.value(QLatin1String("defs")), e.Defs);
  }
  if (t == QLatin1String("images")) {
    e.Kind = TRecordEntry::Images;
    return ReadTexts(o.value(QLatin1String("files")), e.Files);
  }
  if (t == QLatin1String("continued")) {
    e.Kind = TRecordEntry::Continued;
    QString sep, dec;
    if (!ReadText(o, "file", e.File) || !ReadText(o, "sep", sep) || !ReadText(o, "dec", dec)) return false;
    if (sep != QLatin1String("\t") && sep != QLatin1String(",")) return false;
    if (dec.size() > 1) return false;
    e.Separator = char(sep[0].unicode());
    e.Decimal = dec.isEmpty() ? QChar() : dec[0];
    if (!ReadRows(o.value(QLatin1String("rows")), e.Rows)) return false;
    if (o.contains(QLatin1String("objs"))) {
      const QJsonValue objects = o.value(QLatin1String("objs"));
      if (!objects.isArray() || objects.toArray().size() != qsizetype(e.Rows.size())) return false;
      for (const QJsonValue &k : objects.toArray()) {
        if (!k.isDouble() || k.toDouble() < 1 || k.toDouble() > 1e6 || k.toDouble() != std::floor(k.toDouble()))
          return false;
        e.Objects.push_back(int(k.toDouble()));
      }
    }
    return true;
  }
  if (t == QLatin1String("state")) {
    e.Kind = TRecordEntry::State;
    const QJsonValue record = o.value(QLatin1String("record"));
    return ReadInt(o, "i", 0, kMax, e.Image) && ReadRows(o.value(QLatin1String("rows")), e.Rows) &&
           !e.Rows.empty() && record.isObject() && ReadImage(record.toObject(), e.ImageValue);
  }
  if (t == QLatin1String("scale")) {
    e.Kind = TRecordEntry::Scale;
    return ReadInt(o, "i", 0, kMax, e.Image) && ReadScale(o, e.ScaleValue);
  }
  if (t == QLatin1String("figure")) {
    e.Kind = TRecordEntry::Figure;
    if (o.contains(QLatin1String("dpcCell")) && !ReadText(o, "dpcCell", e.DotsPerCmCell)) return false;
    return ReadInt(o, "i", 0, kMax, e.Image) && ReadFigure(o, e.FigureValue);
  }
  if (t == QLatin1String("path")) {
    e.Kind = TRecordEntry::Path;
    return ReadInt(o, "i", 0, kMax, e.Image) && ReadText(o, "folder", e.Folder);
  }
  if (t == QLatin1String("cells")) {
    e.Kind = TRecordEntry::Cells;
    if (o.contains(QLatin1String("obj")) && !ReadInt(o, "obj", 1, kMax, e.Object)) return false;
    return ReadInt(o, "i", 0, kMax, e.Image) && ReadInt(o, "col", 0, kMax, e.Column) &&
           ReadTexts(o.value(QLatin1String("cells")), e.Texts);
  }
  if (t == QLatin1String("saved")) {
    e.Kind = TRecordEntry::Saved;
    return ReadText(o, "file", e.File) && ReadInt(o, "filter", 1, 3, e.FilterIndex);
  }
  return false;
}

bool ParseObject(const QByteArray &bytes, QJsonObject &out) {
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
  out = doc.object();
  return true;
}

QJsonObject ImageJson(const TRecordedImage &image) {
  QJsonObject o;
  if (image.Scale) o.insert("scale", ScaleJson(*image.Scale));
  QJsonArray figures;
  for (const TRecordedFigure &f : image.Figures) figures.append(FigureJson(f));
  if (!figures.isEmpty()) o.insert("figures", figures);
  return o;
}

bool ReadImage(const QJsonObject &o, TRecordedImage &image) {
  if (o.contains(QLatin1String("scale"))) {
    const QJsonValue s = o.value(QLatin1String("scale"));
    TRecordedScale scale;
    if (!s.isObject() || !ReadScale(s.toObject(), scale)) return false;
    image.Scale = scale;
  }
  if (o.contains(QLatin1String("figures"))) {
    const QJsonValue figures = o.value(QLatin1String("figures"));
    if (!figures.isArray()) return false;
    for (const QJsonValue &v : figures.toArray()) {
      TRecordedFigure f;
      if (!v.isObject() || !ReadFigure(v.toObject(), f)) return false;
      image.Figures.push_back(f);
    }
  }
  return true;
}
}  // namespace

QByteArray JournalLine(const TRecordEntry &entry) {
  return QJsonDocument(EntryJson(entry)).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray JournalHeader(const QDateTime &started) {
  const QJsonObject o{{"format", kJournalFormat}, {"version", kVersion},
                      {"started", started.toUTC().toString(Qt::ISODate)}};
  return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

JournalContents ReadJournal(const QByteArray &bytes) {
  JournalContents out;
  const QList<QByteArray> lines = bytes.split('\n');
  QJsonObject header;
  if (lines.isEmpty() || !ParseObject(lines[0], header) ||
      header.value(QLatin1String("format")).toString() != QLatin1String(kJournalFormat)) {
    out.Problem = QStringLiteral("is not the record of a sitting");
    return out;
  }
  if (header.value(QLatin1String("version")).toInt() != kVersion) {
    out.Problem = QStringLiteral("was written by another version of the program");
    return out;
  }
  out.Started = QDateTime::fromString(header.value(QLatin1String("started")).toString(), Qt::ISODate);
  // The text after the last line end is an entry being written when the
  // sitting stopped; every whole line before it is an entry.
  const qsizetype whole = lines.size() - 1;
  for (qsizetype k = 1; k < whole; ++k) {
    QJsonObject o;
    TRecordEntry e;
    if (!ParseObject(lines[k], o) || !ReadEntry(o, e)) {
      if (k == whole - 1 && lines[whole].isEmpty()) {
        out.LastLineDropped = true;
        break;
      }
      out.Entries.clear();
      out.Problem = QStringLiteral("has a damaged entry on line %1").arg(k + 1);
      return out;
    }
    out.Entries.push_back(std::move(e));
  }
  if (whole > 0 && !lines[whole].isEmpty()) out.LastLineDropped = true;
  out.Readable = true;
  return out;
}

void TRecord::Apply(const TRecordEntry &e) {
  switch (e.Kind) {
    case TRecordEntry::Definitions: Defs = e.Defs; break;
    case TRecordEntry::Images: Images.resize(Images.size() + size_t(e.Files.size())); break;
    case TRecordEntry::Continued:
      // One image a row, but for the rows of further objects.
      Images.resize(Images.size() + e.Rows.size() -
                    size_t(std::count_if(e.Objects.begin(), e.Objects.end(), [](int k) { return k > 1; })));
      break;
    case TRecordEntry::Scale:
      if (e.Image >= 0 && e.Image < int(Images.size())) Images[size_t(e.Image)].Scale = e.ScaleValue;
      break;
    case TRecordEntry::Figure: {
      if (e.Image < 0 || e.Image >= int(Images.size())) break;
      std::vector<TRecordedFigure> &figures = Images[size_t(e.Image)].Figures;
      const auto key = [](const TRecordedFigure &f) { return std::pair(f.Object, f.Definition); };
      auto at = figures.begin();
      while (at != figures.end() && key(*at) < key(e.FigureValue)) ++at;
      if (at != figures.end() && key(*at) == key(e.FigureValue))
        *at = e.FigureValue;
      else
        figures.insert(at, e.FigureValue);
      break;
    }
    case TRecordEntry::State:
      if (e.Image >= 0 && e.Image < int(Images.size())) Images[size_t(e.Image)] = e.ImageValue;
      break;
    case TRecordEntry::Path:
    case TRecordEntry::Saved:
    case TRecordEntry::Cells: break;
  }
}

int TRecord::ValueCount() const {
  int n = 0;
  for (const TRecordedImage &image : Images) {
    if (image.Scale) ++n;
    for (const TRecordedFigure &f : image.Figures) n += int(f.Cells.size());
  }
  return n;
}

QByteArray FiguresFileBytes(const TRecord &record, const QStringList &fileNames) {
  QJsonArray rows;
  for (qsizetype i = 0; i < fileNames.size(); ++i) {
    const TRecordedImage *image = record.Image(int(i));
    QJsonObject row = image ? ImageJson(*image) : QJsonObject();
    row.insert("file", fileNames[i]);
    rows.append(row);
  }
  QJsonObject doc{{"format", kFiguresFormat}, {"version", kFiguresVersion}, {"rows", rows}};
  // The definitions, so that a batch can be continued without its .dfn file.
  if (!record.Defs.empty()) doc.insert("definitions", DefinitionsJson(record.Defs));
  return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

std::vector<TRecordedDefinition> FiguresFileDefinitions(const QByteArray &bytes) {
  QJsonObject doc;
  std::vector<TRecordedDefinition> defs;
  if (!ParseObject(bytes, doc) || doc.value(QLatin1String("format")).toString() != QLatin1String(kFiguresFormat) ||
      !doc.contains(QLatin1String("definitions")) || !ReadDefinitions(doc.value(QLatin1String("definitions")), defs))
    return {};
  return defs;
}

int KeepWhatTheRowsSay(TRecordedImage &image, const std::vector<QStringList> &rows,
                       const std::vector<TFigureColumns> &layout) {
  int dropped = 0;
  if (image.Scale && (rows.empty() || image.Scale->Text != rows[0].value(3))) {
    image.Scale.reset();
    ++dropped;
  }
  const auto fits = [&](const TRecordedFigure &f) {
    if (f.Definition < 1 || f.Definition > int(layout.size())) return false;
    const TFigureColumns &at = layout[size_t(f.Definition - 1)];
    const size_t points = f.Kind == 1 ? 3 : 2;  // an angle's vertex and two arm ends
    if (f.Kind != at.Kind || f.FirstColumn != at.FirstColumn || f.Cells.size() != at.Count ||
        f.Points.size() != points || f.Object > int(rows.size()))
      return false;
    const QStringList &row = rows[size_t(f.Object - 1)];
    for (int k = 0; k < at.Count; ++k)
      if (f.Cells[k] != row.value(at.FirstColumn + k)) return false;
    return true;
  };
  const auto end = std::remove_if(image.Figures.begin(), image.Figures.end(), [&](const TRecordedFigure &f) { return !fits(f); });
  dropped += int(image.Figures.end() - end);
  image.Figures.erase(end, image.Figures.end());
  return dropped;
}

FiguresFileContents ReadFiguresFile(const QByteArray &bytes, const QStringList &fileNames) {
  FiguresFileContents out;
  QJsonObject doc;
  if (!ParseObject(bytes, doc) || doc.value(QLatin1String("format")).toString() != QLatin1String(kFiguresFormat)) {
    out.Problem = QStringLiteral("is not a figures file");
    return out;
  }
  const int version = doc.value(QLatin1String("version")).toInt();
  if (version < 1 || version > kFiguresVersion) {
    out.Problem = QStringLiteral("was written by another version of the program");
    return out;
  }
  const QJsonValue rows = doc.value(QLatin1String("rows"));
  if (!rows.isArray() || rows.toArray().size() != fileNames.size()) {
    out.Problem = QStringLiteral("does not have the rows of its results file");
    return out;
  }
  const QJsonArray array = rows.toArray();
  for (qsizetype i = 0; i < array.size(); ++i) {
    TRecordedImage image;
    const QJsonObject row = array[i].toObject();
    if (!array[i].isObject() || row.value(QLatin1String("file")).toString() != fileNames[i] ||
        !ReadImage(row, image)) {
      out.Images.clear();
      out.Problem = QStringLiteral("has a damaged row %1").arg(i + 1);
      return out;
    }
    out.Images.push_back(std::move(image));
  }
  if (doc.contains(QLatin1String("definitions")) &&
      !ReadDefinitions(doc.value(QLatin1String("definitions")), out.Definitions)) {
    out.Images.clear();
    out.Problem = QStringLiteral("has damaged definitions");
    return out;
  }
  out.Ok = true;
  return out;
}

QString FiguresFileName(const QString &resultsFile) { return resultsFile + QStringLiteral(".figures.json"); }

int TRecordedImage::Objects() const {
  int n = 1;
  for (const TRecordedFigure &f : Figures) n = std::max(n, f.Object);
  return n;
}

QString TRecordedImage::Label(const TRecordedFigure &figure) const {
  return Objects() > 1 ? figure.Name + u' ' + QString::number(figure.Object) : figure.Name;
}
