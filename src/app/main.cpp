#include "cdormapp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication platform(argc, argv);
    orv::CDormApp theApp;
    return theApp.InitInstance();
}
