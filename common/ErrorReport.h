#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

#include "common/Prompter.h"

// An error a command raises for the person to read, such as a number that
// does not convert. Shown by the application's standard error report.
class EScaliperError : public std::runtime_error {
public:
  explicit EScaliperError(const QString &message)
      : std::runtime_error(message.toStdString()) {}
  QString Message() const { return QString::fromStdString(what()); }
};

// Runs `command`; an error that escapes it is shown through the prompter's
// error report and the program goes on.
template <typename F> void RunGuarded(Prompter &prompter, F &&command) {
  try {
    command();
  } catch (const std::bad_alloc &) {
    prompter.ReportError(QStringLiteral("Out of memory"));
  } catch (const std::exception &e) {
    prompter.ReportError(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    prompter.ReportError(QString());
  }
}
