#include "common/Prompter.h"

QStringList FileDialogState::Descriptions() const {
  QStringList parts = Filter.split(u'|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) out << parts.at(i);
  return out;
}

QStringList FileDialogState::Patterns() const {
  QStringList parts = Filter.split(u'|');
  QStringList out;
  for (int i = 1; i < parts.size(); i += 2) out << parts.at(i);
  return out;
}
