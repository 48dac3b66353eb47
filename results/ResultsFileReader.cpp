#include "results/ResultsFileReader.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {
// Splits the text into records of fields. A record ends at a line end
// outside quotes; only the comma-separated layout has quotes.
struct Splitter {
  const QString &Text;
  QChar Separator;
  qsizetype At = 0;
  int Line = 1;  // the line the next record starts on

  bool AtEnd() const { return At >= Text.size(); }

  // The next record; false with `problem` set when it is malformed.
  bool Next(QStringList &fields, QString &problem) {
    fields.clear();
    QString field;
    bool quoted = false, wasQuoted = false;
    for (;;) {
      if (At >= Text.size()) {
        if (quoted) {
          problem = QStringLiteral("has a quoted field that is not closed");
          return false;
        }
        fields << field;
        return true;
      }
      const QChar c = Text.at(At++);
      if (quoted) {
        if (c == u'"' && At < Text.size() && Text.at(At) == u'"') {
          field += c;
          ++At;
        } else if (c == u'"') {
          quoted = false;
        } else {
          if (c == u'\n') ++Line;
          field += c;
        }
      } else if (c == Separator) {
        fields << field;
        field.clear();
        wasQuoted = false;
      } else if (c == u'\n' || (c == u'\r' && At < Text.size() && Text.at(At) == u'\n')) {
        if (c == u'\r') ++At;
        ++Line;
        fields << field;
        return true;
      } else if (c == u'"' && Separator == u',' && field.isEmpty() && !wasQuoted) {
        quoted = wasQuoted = true;
      } else if (wasQuoted) {
        problem = QStringLiteral("has a quoted field that goes on after its closing quote");
        return false;
      } else {
        field += c;
      }
    }
  }
};

ResultsFileContents Refused(int line, const QString &problem) {
  ResultsFileContents out;
  out.BadLine = line;
  out.Problem = problem;
  return out;
}

bool AllEmpty(const QStringList &fields) {
  for (const QString &f : fields)
    if (!f.isEmpty()) return false;
  return true;
}

// The decimal separator of the first number with a fraction in the Dots/cm
// and definition columns of `rows`, or null.
QChar NumbersDecimalSeparator(const std::vector<QStringList> &rows) {
  static const QRegularExpression number(QStringLiteral("^-?[0-9]*([.,])[0-9]+$"));
  for (const QStringList &row : rows)
    for (qsizetype c = 3; c < row.size(); ++c) {
      const QRegularExpressionMatch m = number.match(row.at(c));
      if (m.hasMatch()) return m.capturedView(1).at(0);
    }
  return QChar();
}

// The first line whose bytes are not text in the local 8-bit encoding.
int FirstUndecodableLine(const QByteArray &bytes) {
  int line = 1;
  for (const QByteArray &piece : bytes.split('\n')) {
    QStringDecoder decoder(QStringDecoder::System);
    const QString text = decoder(piece);
    if (decoder.hasError()) return line;
    ++line;
  }
  return line;
}
}  // namespace

ResultsFileContents ReadResultsFile(const QByteArray &bytes, const QStringList &headings) {
  QStringDecoder decoder(QStringDecoder::System);
  const QString text = decoder(bytes);
  if (decoder.hasError())
    return Refused(FirstUndecodableLine(bytes), QStringLiteral("holds bytes that are not text"));
  if (text.isEmpty()) return Refused(1, QStringLiteral("is empty"));
  const QString first = text.left(text.indexOf(u'\n'));
  const char separator = first.contains(u'\t') || !first.contains(u',') ? '\t' : ',';
  Splitter split{text, QChar(QLatin1Char(separator))};
  QStringList fields;
  QString problem;
  const int headingLine = split.Line;
  if (!split.Next(fields, problem)) return Refused(headingLine, problem);
  // A file of images with several objects has an "Object" column after
  // "File Name"; it is read into each row's object number.
  constexpr int kObject = 3;
  const bool objects = fields.size() == headings.size() + 1 && fields.size() > kObject &&
                       fields.at(kObject) == QLatin1String("Object");
  if (objects) fields.removeAt(kObject);
  if (fields != headings) {
    if (fields.size() != headings.size())
      return Refused(headingLine, QStringLiteral("has %1 headings where the current definitions give %2")
                                      .arg(fields.size())
                                      .arg(headings.size()));
    int c = 0;
    while (fields.at(c) == headings.at(c)) ++c;
    return Refused(headingLine, QStringLiteral("has the heading \"%1\" in column %2 where the current "
                                               "definitions give \"%3\"")
                                    .arg(fields.at(c))
                                    .arg(c + 1)
                                    .arg(headings.at(c)));
  }
  ResultsFileContents out;
  out.Separator = separator;
  int firstEmptyLine = 0;  // the first all-empty line after the rows, once met
  while (!split.AtEnd()) {
    const int line = split.Line;
    if (!split.Next(fields, problem)) return Refused(line, problem);
    if (AllEmpty(fields)) {
      if (!firstEmptyLine) firstEmptyLine = line;
      continue;
    }
    if (firstEmptyLine)
      return Refused(line, QStringLiteral("holds a row after the empty line %1, which ends the images")
                               .arg(firstEmptyLine));
    if (fields.size() != headings.size() + (objects ? 1 : 0))
      return Refused(line, QStringLiteral("has %1 fields where there are %2 headings")
                               .arg(fields.size())
                               .arg(headings.size() + (objects ? 1 : 0)));
    int object = 1;
    if (objects) {
      bool ok = false;
      const QString raw = fields.takeAt(kObject);
      object = raw.toInt(&ok);
      const int due = out.Rows.empty() ? 1 : out.Objects.back() + 1;
      if (!ok || object < 1 || (object > 1 && object != due))
        return Refused(line, QStringLiteral("has \"%1\" under \"Object\" where 1 or %2 belongs")
                                 .arg(raw)
                                 .arg(due));
    }
    if (object == 1) {
      const QString number = QString::number(++out.Images);
      if (fields.at(0) != number)
        return Refused(line, QStringLiteral("has \"%1\" under \"No.\" where %2 belongs").arg(fields.at(0), number));
    } else {
      // A further object's row names its image as the row above does.
      const QStringList &above = out.Rows.back();
      for (int c : {0, 1, 2})
        if (fields.at(c) != above.at(c))
          return Refused(line, QStringLiteral("has \"%1\" under \"%2\" where its image's row above has \"%3\"")
                                   .arg(fields.at(c), headings.at(c), above.at(c)));
    }
    out.Rows.push_back(fields);
    out.Objects.push_back(object);
  }
  out.DecimalSeparator = NumbersDecimalSeparator(out.Rows);
  out.Ok = true;
  return out;
}
