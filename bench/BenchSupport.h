#pragma once
// Shared pieces of the benchmark program: every figure is a ratio of two
// measurements taken in the same run (or a memory figure), printed as
// "name: value".
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "common/Prompter.h"

namespace bench {

// Times of two kinds of work taken in turns, in nanoseconds.
struct Paired {
  std::vector<double> A, B;
  double MeanRatio() const;  // mean of A over mean of B
  double MaxRatio() const;   // worst A over worst B
};

// Runs `a` and `b` once each per round, for `rounds` rounds, the one first
// in a round alternating, so that a slow spell of the machine falls on both.
// `between`, when given, runs untimed before each timed run.
Paired Alternate(int rounds, const std::function<void()> &a, const std::function<void()> &b,
                 const std::function<void()> &between = {});

double Mean(const std::vector<double> &v);
double Max(const std::vector<double> &v);

// `n` made-up image paths in one folder.
QStringList Files(int n);

// Resident and peak resident memory of this process, in bytes (from /proc).
qint64 ResidentBytes();
qint64 PeakResidentBytes();
// Sets the peak back to the current resident size; false where the kernel
// does not allow it.
bool ResetPeakResident();

constexpr double kMiB = 1024.0 * 1024.0;

void Print(const char *name, double value);
// The system's load averages, as /proc/loadavg gives them.
QString LoadAverage();

// Presses OK in every dialog and answers every question with Yes; counts beeps.
class OkPrompter : public Prompter {
public:
  int Beeps = 0;
  void Beep() override { ++Beeps; }
  void ShowMessage(const QString &, const QString &) override {}
  ModalResult Ask(const QString &, const QString &, bool) override { return mrYes; }
  int RunModal(QDialog &dialog) override;
  bool RunFileDialog(FileDialogState &) override { return false; }
  // The folder offered; the kind of file `Kind` when it is set, else the
  // one offered.
  int Kind = -1;
  bool ChooseFolder(const QString &, QString &folder, const QStringList &, int &kind) override {
    if (Kind >= 0) kind = Kind;
    return !folder.isEmpty();
  }
  void ReportError(const QString &) override {}
};

// A benchmark section, run by main in the order the sections registered.
struct Section {
  Section(const char *name, std::function<void(const QString &scratchDir)> run);
};
struct Registered {
  const char *Name;
  std::function<void(const QString &)> Run;
};
std::vector<Registered> &Sections();

}  // namespace bench
