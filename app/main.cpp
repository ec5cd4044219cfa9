// Entry point of the korvane program.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::puts("Korvane V1.2");
    return 0;
}
