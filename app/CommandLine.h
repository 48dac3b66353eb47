#pragma once

#include <QStringList>

class Prompter;
class TForm1;

// The files named on the program's command line, as the desktop's "Open
// with" names them, taken in the order given: a results file (.txt or .csv)
// is continued as Continue Results continues the one chosen, and the other
// files are opened as Open Images opens those chosen, in one batch up to
// the next results file. A name that is no regular file, or no file at all,
// is refused with "Cannot open " and the name under "File Error", and the
// rest are still taken.
void OpenCommandLine(TForm1 &form, Prompter &prompter, const QStringList &arguments);
