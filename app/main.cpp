#include "app/program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Program program;
    return program.exec();
}
