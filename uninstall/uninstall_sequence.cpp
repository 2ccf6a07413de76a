// Placeholder so the shell links while the uninstall sequence is written;
// replaced by the real sequence.
#include "uninstall/uninstall.h"

int RunUninstall() { return -101; }
