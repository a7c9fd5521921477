#pragma once

#include "listingsettings.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QButtonGroup;

namespace Ui {
class Form2;
}

// The colour selector window, Form2: the 216-swatch palette, the sixteen radio buttons that
// say which colour a swatch click sets, and a preview per page element. It stands in for the
// main window while it is open: opening hides the main window, closing shows it again.
// A click changes the colour slot at once; closing writes nothing to disk.
class ColourSelector : public QWidget
{
    Q_OBJECT

public:
    // Creates and shows a selector, then hides mainWindow. The selector deletes itself when it
    // closes. settings must outlive it.
    static ColourSelector *open(ListingSettings &settings, QWidget *mainWindow);

    ColourSelector(ListingSettings &settings, QWidget *mainWindow);
    ~ColourSelector() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildPalette();
    void showRowColours(int row);
    void swatchClicked(int index);

    std::unique_ptr<Ui::Form2> m_ui;
    ListingSettings &m_settings;
    QPointer<QWidget> m_mainWindow;
    QButtonGroup *m_swatches = nullptr;
};
