// The program's entry: the application object, then the program itself.
#include "Forms.h"
#include "IBRowvaneDemo.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    try {
        TApplication application(argc, argv);
        return WinMain();
    } catch (const std::exception& e) {
        // Only when there is no application to show it.
        std::fprintf(stderr, "IBRowvaneDemo: %s\n", e.what());
        return 1;
    }
}
