#include "messageboxseam.h"

#include <QMessageBox>

namespace {

MessageBoxSeam::Interceptor &interceptor()
{
    static MessageBoxSeam::Interceptor instance;
    return instance;
}

} // namespace

void MessageBoxSeam::exec(QMessageBox &box)
{
    if (interceptor()) {
        interceptor()(box);
        return;
    }
    box.exec();
}

void MessageBoxSeam::setInterceptor(Interceptor replacement)
{
    interceptor() = std::move(replacement);
}
