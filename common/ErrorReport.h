#pragma once

#include <QString>
#include <exception>
#include <stdexcept>

#include "common/Prompter.h"

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
