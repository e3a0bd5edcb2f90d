// Commands whose windows and functions are not built yet. Each is wired to
// its menu item and META command already, so filling one in is all it takes.
#include "core/start.h"

