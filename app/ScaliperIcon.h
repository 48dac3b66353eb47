#pragma once

#include <QIcon>

// The program's icon (a measuring tape), in every size the program carries:
// the window icon and the About box's picture.
QIcon ScaliperIcon();
