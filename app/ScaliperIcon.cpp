#include "app/ScaliperIcon.h"

#include "app/ProgramInfo.h"

QIcon ScaliperIcon() {
  // PNG renderings of resources/scaliper.svg, built into the program, so that
  // showing the icon needs no SVG support at run time.
  QIcon icon;
  for (int size : ProgramInfo::IconSizes)
    icon.addFile(QStringLiteral(":/icons/scaliper-%1.png").arg(size), QSize(size, size));
  return icon;
}
