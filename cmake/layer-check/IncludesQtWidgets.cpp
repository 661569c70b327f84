// Must not build as a core file.
#include <QtWidgets/QWidget>
