// Loads each library named on the command line by its bare name, as a careless program would,
// and reports whether every load succeeded. Placed beside planted libraries of those names it
// shows that the planted ones would be taken, so a test that looks for their traces can see
// them.
#include <windows.h>

int main(int argc, char** argv) {
    int status = 0;
    for (int i = 1; i < argc; ++i)
        if (!LoadLibraryA(argv[i])) status = 1;
    return status;
}
