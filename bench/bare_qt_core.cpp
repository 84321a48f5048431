// A bare Qt Core program that prints a line and ends: what velm-cli --help is held against.
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::puts("Usage: bare-qt-core");
    return 0;
}
