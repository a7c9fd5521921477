#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The window's few calls into the desktop, each behind a hook that a test sets in advance, so
// that no test waits on a modal dialog or starts a browser. With no hook set, the real thing
// runs.

struct SaveRequest
{
    QString filter;
    QString defaultSuffix;
    QString folder;
    QString proposedName;
};

class SaveDialog
{
public:
    using Hook = std::function<std::optional<QString>(const SaveRequest &)>;

    // The chosen full path, or nothing when the seller cancelled.
    static std::optional<QString> ask(QWidget *parent, const SaveRequest &request);
    static void setTestHook(Hook hook);
};

class MessageBox
{
public:
    // A modal error box with one OK button, shown through MessageBoxSeam so that tests can
    // examine it instead of waiting on it.
    static void showError(QWidget *parent, const QString &title, const QString &text);
};

class Browser
{
public:
    using Hook = std::function<void(const QString &path)>;

    // Hands a local file to the desktop's default handler; whether that worked is not known.
    static void openFile(const QString &path);
    static void setTestHook(Hook hook);
};
