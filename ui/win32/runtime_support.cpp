// What the compiler may call in a program built without the C runtime: the four memory and
// string functions it emits for copies, clears and comparisons, and the handler of a call to a
// pure virtual function. Only the executable links this; test programs have the runtime's.
// Built with -fno-builtin and -fno-tree-loop-distribute-patterns, so that these loops are not
// turned back into calls to themselves.
#include <windows.h>

#include <cstddef>

extern "C" {

void* memcpy(void* to, const void* from, std::size_t size) {
    auto* out = static_cast<unsigned char*>(to);
    const auto* in = static_cast<const unsigned char*>(from);
    while (size--) *out++ = *in++;
    return to;
}

void* memmove(void* to, const void* from, std::size_t size) {
    auto* out = static_cast<unsigned char*>(to);
    const auto* in = static_cast<const unsigned char*>(from);
    if (out < in) {
        while (size--) *out++ = *in++;
    } else {
        while (size--) out[size] = in[size];
    }
    return to;
}

void* memset(void* to, int byte, std::size_t size) {
    auto* out = static_cast<unsigned char*>(to);
    while (size--) *out++ = static_cast<unsigned char>(byte);
    return to;
}

int memcmp(const void* a, const void* b, std::size_t size) {
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    for (; size; --size, ++x, ++y)
        if (*x != *y) return *x < *y ? -1 : 1;
    return 0;
}

std::size_t strlen(const char* text) {
    std::size_t length = 0;
    while (text[length]) ++length;
    return length;
}

// Only a broken object could call a pure virtual function; end at once, as the runtime would.
void __cxa_pure_virtual() { ExitProcess(3); }

}  // extern "C"
