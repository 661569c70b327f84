// Must not build as a core file.
#include <QtGui/QColor>
