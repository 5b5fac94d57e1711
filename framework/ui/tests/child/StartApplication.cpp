// A program's start as the framework makes it: the application object and
// one shown form, then the end. A test runs it to see what a start prints.
#include "Forms.h"

#include <cstdio>

int main(int argc, char** argv) {
    TApplication application(argc, argv);
    TForm form(nullptr);
    form.Show();
    Application->ProcessMessages();
    std::printf("started\n");
    return 0;
}
