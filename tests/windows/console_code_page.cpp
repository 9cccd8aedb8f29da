// Prints the console's output code page ("437"), for tests/windows/console.sh: the code page a
// program left behind is the console's, so it is what the next program in that console finds.

#include <windows.h>

#include <cstdio>

int main() {
    std::printf("%u\n", GetConsoleOutputCP());
    return 0;
}
