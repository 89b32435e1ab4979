// brushwick — entry point of the desktop application.
#include <cstdio>

int main() {
    // The window is not built yet; say so instead of showing an empty one.
    std::fputs(
        "Brushwick: the window is not available in this build yet.\n"
        "The catalog, sandbox detection and path handling are in place and tested;\n"
        "run tools/test to see them work.\n",
        stderr);
    return 1;
}
