#pragma once

#include <QString>

#include <functional>

class MainWindow;

// The whole program once its QApplication exists: start-up from the data files in
// programFolder into the main window, then the window until it closes, however it closes.
// whenShown, if given, runs once the window is on screen. Returns the exit status: non-zero
// when start-up or saving failed (the seller has been told).
// A second start on a folder that a running copy holds says so, naming the folder, and returns
// 1 without opening anything.
int runProgram(const QString &programFolder,
               const std::function<void(MainWindow &)> &whenShown = {});

// The lock a running copy holds for its program folder, in the temporary folder (a read-only
// program folder could not hold it); a copy that ended without letting go leaves it stale, and
// the next start takes it over.
QString programFolderLockPath(const QString &programFolder);
