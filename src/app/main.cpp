#include "backupcommand.h"
#include "cdormapp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    if (const int status = orv::runBackupCommandIfAsked(argc, argv); status >= 0)
        return status;
    QApplication platform(argc, argv);
    orv::CDormApp theApp;
    return theApp.InitInstance();
}
