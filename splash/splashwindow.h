#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// The start-up window, frmSplash: no frame, centred, the splash picture from its top-left
// corner, nothing else. It lives only while the main window loads.
class SplashWindow : public QWidget
{
    Q_OBJECT

public:
    SplashWindow();

    // Shows the window and paints it at once, so that the picture is on the screen before the
    // caller blocks the event loop with the start-up work.
    void showAndPaint();
};

// What loading the main window gives back: the window, loaded but not shown, or, when a file
// error stopped start-up, no window and the report for the seller.
struct StartUpOutcome
{
    QWidget *mainWindow = nullptr;
    QString errorReport;
};

// The program's way in. Shows the splash, runs loadMainWindow while the splash stays on the
// screen, closes the splash and only then shows the main window, so that the two are never
// visible together. When start-up fails, its report is shown over the splash, no main window is
// shown, and false is returned once the report is dismissed and the splash has gone.
bool startWithSplash(const std::function<StartUpOutcome()> &loadMainWindow);
