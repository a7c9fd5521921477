#pragma once

#include <QString>

#include <functional>
#include <optional>

class QMessageBox;
class QWidget;

// The program's few calls into the desktop, each behind a hook that a test sets in advance, so
// that no test waits on a modal dialog or starts a browser. With no hook set, the real thing
// runs. Every window goes through here.

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
    using Hook = std::function<void(QMessageBox &box)>;

    // Shows the box modally and returns when it is dismissed, or, while a hook is set, hands
    // the real box to the hook and never puts it on the screen.
    static void exec(QMessageBox &box);
    // A modal error box with one OK button.
    static void showError(QWidget *parent, const QString &title, const QString &text);
    static void setTestHook(Hook hook);
};

class Browser
{
public:
    using Hook = std::function<bool(const QString &path)>;

    // Hands a local file to the desktop's default handler: false when the desktop says it
    // could not (no handler, no browser behind it). Whether a browser then shows it is not known.
    static bool openFile(const QString &path);
    static void setTestHook(Hook hook);
};
