// Takes the pictures of the colour selector, the splash window and the About box shown in the
// README. Run by scripts/screenshots; the pictures it writes are committed.

#include "aboutbox.h"
#include "colourselector.h"
#include "defaultcolours.h"
#include "seams.h"
#include "splashwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QMessageBox>
#include <QTextStream>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

bool save(QWidget *window, const QDir &folder, const QString &name)
{
    if (window->grab().save(folder.filePath(name), "png")) {
        return true;
    }
    QTextStream(stderr) << "screenshots: cannot write " << folder.filePath(name) << Qt::endl;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: tavrin-screenshots OUTPUT_FOLDER" << Qt::endl;
        return EXIT_FAILURE;
    }
    const QDir folder(args.at(1));
    bool ok = true;

    // The shipped colours, just after the seller gave the headers a blue background.
    ListingSettings settings;
    settings.setColors(defaultColorSet());
    ColourSelector *selector = ColourSelector::open(settings, nullptr);
    selector->findChild<QButtonGroup *>(u"Picture1"_s)->button(180)->click();
    ok &= save(selector, folder, u"colour-selector.png"_s);
    selector->close();

    SplashWindow splash;
    splash.show();
    ok &= save(&splash, folder, u"splash.png"_s);
    splash.close();

    // The real box, shown without waiting for OK.
    MessageBox::setTestHook([&](QMessageBox &box) {
        box.show();
        ok &= save(&box, folder, u"about-box.png"_s);
    });
    showAboutBox(nullptr);

    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
