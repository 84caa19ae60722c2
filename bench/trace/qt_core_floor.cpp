// The least a program built on Qt Core costs to start and end here: it loads the same libraries
// as quendrix-cli (Qt Core and what it needs), makes the application object and prints one
// word. side_by_side.sh times it beside the trace so that the start-up's share shows.
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    const QCoreApplication app(argc, argv);
    std::puts("floor");
    return 0;
}
