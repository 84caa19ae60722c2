// Quendrix: the desktop program.
#include "app/run.h"

int main(int argc, char** argv) {
    return quendrix::RunQuendrix(argc, argv);
}
