// The smallest window with text: a Qt program that shows a main window with one line of text,
// which starts the font system as any window with text must. It reports when that window is
// first on the screen and when it is idle.
#include "readiness.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FirstFrame firstFrame;
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("Tavrin"), &window));
    window.show();
    Readiness readiness(window, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
