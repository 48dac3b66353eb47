#include "definitions/DefinitionFile.h"

#include <QString>
#include <cstdint>
#include <optional>

#include "definitions/DefinitionList.h"

QByteArray DefinitionFileBytes(const TDefinitionList &list) {
  QByteArray out = QByteArray::number(list.Count()) + "\r\n";
  for (int i = 0; i < list.Count(); ++i) {
    const TMeasureType &d = list.At(i);
    out += d.Name.toLocal8Bit();
    out += '\t' + QByteArray::number(int(d.Kind));
    for (const QuantityFlag &q : kQuantityFlags) out += (d.*q.Flag) ? "\t1" : "\t0";
    out += "\r\n";
  }
  return out;
}

namespace {
// Reads the text of a file with CR LF pairs taken as LF.
class TextReader {
public:
  explicit TextReader(const QByteArray &bytes) : Bytes_(bytes) {}

  bool AtEnd() const { return Pos_ >= Bytes_.size(); }

  std::optional<char> Next() {
    if (AtEnd()) return std::nullopt;
    char c = Bytes_.at(Pos_++);
    if (c == '\r' && Pos_ < Bytes_.size() && Bytes_.at(Pos_) == '\n') c = Bytes_.at(Pos_++);
    return c;
  }

  std::optional<char> Peek() const {
    if (AtEnd()) return std::nullopt;
    char c = Bytes_.at(Pos_);
    if (c == '\r' && Pos_ + 1 < Bytes_.size() && Bytes_.at(Pos_ + 1) == '\n') return '\n';
    return c;
  }

  // A decimal integer after any white space, optionally signed, within 32 bits.
  std::optional<std::int32_t> Integer() {
    while (Peek() && static_cast<unsigned char>(*Peek()) <= ' ') Next();
    bool negative = false;
    if (Peek() == '+' || Peek() == '-') negative = *Next() == '-';
    std::int64_t value = 0;
    int digits = 0;
    while (Peek() && *Peek() >= '0' && *Peek() <= '9') {
      value = value * 10 + (*Next() - '0');
      if (value > std::int64_t(INT32_MAX) + 1) return std::nullopt;
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    // The number must end at white space or at the end of the data.
    if (Peek() && static_cast<unsigned char>(*Peek()) > ' ') return std::nullopt;
    return std::int32_t(value);
  }

  // Characters up to the first TAB (consumed), line feeds dropped.
  std::optional<QByteArray> Name() {
    QByteArray name;
    while (true) {
      std::optional<char> c = Next();
      if (!c) return std::nullopt;
      if (*c == '\t') return name;
      if (*c != '\n') name += *c;
    }
  }

private:
  const QByteArray &Bytes_;
  qsizetype Pos_ = 0;
};
}  // namespace

DefinitionFileContents ReadDefinitionFile(const QByteArray &bytes) {
  DefinitionFileContents out;
  TextReader in(bytes);
  std::optional<std::int32_t> count = in.Integer();
  if (!count) return out;
  // Nothing is reserved from the count: records are appended as they are read.
  for (std::int32_t i = 0; i < *count; ++i) {
    std::optional<QByteArray> name = in.Name();
    std::optional<std::int32_t> numbers[5];
    if (!name) return {};
    for (auto &n : numbers)
      if (!(n = in.Integer())) return {};
    TMeasureType def;
    def.Name = QString::fromLocal8Bit(*name);
    def.Kind = TMeasureKind(std::int8_t(std::uint8_t(*numbers[0] & 0xFF)));
    int k = 1;
    for (const QuantityFlag &q : kQuantityFlags) def.*q.Flag = *numbers[k++] != 0;
    out.Definitions.push_back(def);
  }
  out.Ok = true;
  return out;
}
