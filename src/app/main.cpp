// Quendrix: the desktop program.
#include "app/run.h"
#include "http/fetch_service.h"

int main(int argc, char** argv) {
    // libcurl's global start comes before any thread of the program exists.
    quendrix::http::GlobalInit();
    return quendrix::RunQuendrix(argc, argv);
}
