// Loads each library named on the command line by its bare name, as a careless program would,
// and reports whether every load succeeded. Placed beside planted libraries of those names it
// shows that the planted ones would be taken, so a test that looks for their traces can see
// them. It links no runtime, so a planted C runtime is looked for like any other library.
#include <windows.h>

extern "C" void BareNameLoadStart() {
    char* line = GetCommandLineA();
    // The program's own name, quoted or not, then the library names, one word each.
    bool quoted = false;
    while (*line && (quoted || *line != ' ')) {
        if (*line == '"') quoted = !quoted;
        ++line;
    }
    UINT status = 0;
    for (;;) {
        while (*line == ' ') ++line;
        if (!*line) break;
        char* name = line;
        while (*line && *line != ' ') ++line;
        const bool last = !*line;
        *line = '\0';
        if (!LoadLibraryA(name)) status = 1;
        if (last) break;
        ++line;
    }
    ExitProcess(status);
}
