#include "aboutbox.h"

#include "seams.h"
#include "version.h"

#include <QMessageBox>

using namespace Qt::StringLiterals;

void showAboutBox(QWidget *parent)
{
    QMessageBox box(QMessageBox::NoIcon, u"About Tavrin v" TAVRIN_VERSION_TEXT ""_s,
                    u"Tavrin version " TAVRIN_VERSION_TEXT "\r\nBrisken"_s, QMessageBox::Ok,
                    parent);
    box.setObjectName(u"AboutBox"_s);
    box.setWindowModality(Qt::ApplicationModal);
    MessageBox::exec(box);
}
