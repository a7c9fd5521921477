#pragma once

#include <QString>

#include <functional>

class MainWindow;

// The whole program once its QApplication exists: start-up from the data files in
// programFolder into the main window, then the window until it closes, however it closes.
// whenShown, if given, runs once the window is on screen. Returns the exit status: non-zero
// when start-up or saving failed (the seller has been told).
int runProgram(const QString &programFolder,
               const std::function<void(MainWindow &)> &whenShown = {});
