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

QString FileDialogState::ExtensionFor(int index) const {
  const QString pattern = Patterns().value(index - 1).section(u';', 0, 0);
  QString ext = pattern.startsWith(QLatin1String("*.")) ? pattern.mid(2) : QString();
  if (ext.isEmpty() || ext.contains(u'*') || ext.contains(u'?')) ext = DefaultExt;
  if (ext.startsWith(QLatin1String("*."))) ext = ext.mid(2);
  return ext;
}
