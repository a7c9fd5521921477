// The baseline: a Qt program that shows an empty main window and nothing else; given "text",
// a main window with one line of text, so that it also starts the font system, which any
// window that shows text pays for.
#include "readiness.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    if (argc > 1 && qstrcmp(argv[1], "text") == 0) {
        window.setCentralWidget(new QLabel(QStringLiteral("Tavrin"), &window));
    }
    window.show();
    Readiness readiness(window, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
