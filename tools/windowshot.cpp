// Draws the main window, loaded from the shipped default data files with a sample listing
// typed in, into a PNG: the picture of the window in the documentation.
#include "mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextStream>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: tavrin_windowshot OUTPUT.png\n";
        return 2;
    }
    QTemporaryDir folder;
    const QDir defaults(QStringLiteral(TAVRIN_DEFAULTS_DIR));
    for (const QString &name : defaults.entryList(QDir::Files)) {
        QFile::copy(defaults.filePath(name), folder.filePath(name));
    }

    MainWindow window;
    if (const std::optional<FileError> error = window.load(folder.path())) {
        err << error->message() << '\n';
        return 1;
    }
    window.findChild<QLineEdit *>(u"Text1"_s)->setText(u"Vintage 1.5L Bottle: NEW!"_s);
    window.findChild<QLineEdit *>(u"Text2"_s)->setText(u"Hand-blown green glass, about 1950"_s);
    window.findChild<QPlainTextEdit *>(u"Text3"_s)
        ->setPlainText(u"A tall bottle in deep green glass with a pontil mark on the base.\n"
                       "Holds one and a half litres.\n\nFrom a private collection."_s);
    window.findChild<QPlainTextEdit *>(u"Text7"_s)
        ->setPlainText(u"Excellent: no chips, no cracks, light wear on the base."_s);
    window.show();
    QApplication::processEvents();

    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        err << "could not write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
