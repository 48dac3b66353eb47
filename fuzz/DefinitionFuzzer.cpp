// Feeds arbitrary bytes to the definition-file reader, as Load Definitions
// does with the contents of the chosen file.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "definitions/DefinitionFile.h"
#include "definitions/DefinitionList.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const DefinitionFileContents read = ReadDefinitionFile(bytes);
  if (!read.Ok) {
    FUZZ_CHECK(read.Definitions.empty());
    return 0;
  }
  // Whatever was read must survive being saved and read again unchanged.
  TDefinitionList list;
  for (const TMeasureType &def : read.Definitions) list.Append(std::make_unique<TMeasureType>(def));
  const DefinitionFileContents again = ReadDefinitionFile(DefinitionFileBytes(list));
  FUZZ_CHECK(again.Ok);
  FUZZ_CHECK(again.Definitions.size() == read.Definitions.size());
  for (size_t i = 0; i < read.Definitions.size(); ++i) {
    const TMeasureType &a = read.Definitions[i], &b = again.Definitions[i];
    FUZZ_CHECK(a.Name == b.Name);
    FUZZ_CHECK(a.Kind == b.Kind);
    FUZZ_CHECK(a.Height == b.Height && a.Width == b.Width && a.Perimeter == b.Perimeter &&
               a.Area == b.Area);
  }
  return 0;
}
