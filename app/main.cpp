#include <cstdio>
#include <unistd.h>

#include "app/application.h"

int main(int argc, char** argv)
{
    int code = RunApplication(argc, argv);
    // A poll worker may still be blocked in a transaction: end the process
    // here without waiting for it or running static destructors under it.
    std::fflush(nullptr);
    _exit(code);
}
