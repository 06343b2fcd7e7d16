// Loads the shell library by its bare name, as the program once did, and reports whether the
// load succeeded. Placed beside a planted library of that name it shows that the planted one
// would be taken, so a test that looks for the planted library's trace can see it.
#include <windows.h>

int main() { return LoadLibraryA("shell32.dll") != nullptr ? 0 : 1; }
