#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "app/application.h"

int main(int argc, char** argv)
{
    // Past the process's file-size limit a write fails with EFBIG instead of
    // ending the program: a recording then stops and says why.
    std::signal(SIGXFSZ, SIG_IGN);
    int code = RunApplication(argc, argv);
    // A poll worker may still be blocked in a transaction: end the process
    // here without waiting for it or running static destructors under it.
    std::fflush(nullptr);
    _exit(code);
}
