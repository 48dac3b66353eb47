#pragma once
// Shared pieces of the benchmark program: every figure is a ratio of two
// measurements taken in the same run, printed as "name: value".
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace bench {

// The best of several runs of `work`, in nanoseconds.
double BestOf(int runs, const std::function<void()> &work);

// `n` made-up image paths in one folder.
QStringList Files(int n);

// Resident and peak resident memory of this process, in bytes (from /proc).
qint64 ResidentBytes();
qint64 PeakResidentBytes();
// Sets the peak back to the current resident size, where the kernel allows it.
void ResetPeakResident();

void Print(const char *name, double value);

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
