// The baseline: a Qt program that shows an empty main window and nothing else.
#include "readiness.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.show();
    Readiness readiness(window, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
