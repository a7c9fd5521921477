#include "seams.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

SaveDialog::Hook &saveHook()
{
    static SaveDialog::Hook hook;
    return hook;
}

MessageBox::Hook &messageHook()
{
    static MessageBox::Hook hook;
    return hook;
}

Browser::Hook &browserHook()
{
    static Browser::Hook hook;
    return hook;
}

} // namespace

std::optional<QString> SaveDialog::ask(QWidget *parent, const SaveRequest &request)
{
    if (saveHook()) {
        return saveHook()(request);
    }
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    // Qt adds the suffix only to a typed name that has none, as the seller expects.
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setDirectory(request.folder);
    dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.constFirst().isEmpty()) {
        return std::nullopt;
    }
    return files.constFirst();
}

void SaveDialog::setTestHook(Hook hook)
{
    saveHook() = std::move(hook);
}

void MessageBox::exec(QMessageBox &box)
{
    if (messageHook()) {
        messageHook()(box);
        return;
    }
    box.exec();
}

void MessageBox::showError(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    exec(box);
}

void MessageBox::setTestHook(Hook hook)
{
    messageHook() = std::move(hook);
}

bool Browser::openFile(const QString &path)
{
    if (browserHook()) {
        return browserHook()(path);
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void Browser::setTestHook(Hook hook)
{
    browserHook() = std::move(hook);
}
