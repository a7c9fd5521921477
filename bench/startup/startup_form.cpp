// The main window's own form, Form1 from mainwindow.ui, in a bare QMainWindow: the same widgets
// as the program's main window, and nothing of the program: no splash, no data files, no style
// items, no window icon. What the program takes beyond this is what it adds to its form.
#include "readiness.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FirstFrame firstFrame;
    QMainWindow window;
    Ui::Form1 form;
    form.setupUi(&window);
    window.show();
    Readiness readiness(window, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
