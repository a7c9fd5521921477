#pragma once

#include <functional>

class QMessageBox;

// Message boxes are shown through here, so that a test can examine the real box instead of
// having it wait for a click that never comes.
class MessageBoxSeam
{
public:
    using Interceptor = std::function<void(QMessageBox &box)>;

    // Shows the box modally and returns when it is dismissed, or hands it to the interceptor.
    static void exec(QMessageBox &box);

    // While set, boxes go to the interceptor and never reach the screen; an empty interceptor
    // restores normal showing.
    static void setInterceptor(Interceptor interceptor);
};
