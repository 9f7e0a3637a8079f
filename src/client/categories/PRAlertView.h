#pragma once

// Two-button warning alerts: as a sheet on a window, answered through a completion handler, or
// run modally. The response of the first button is kFirstButtonReturn, of the second
// kSecondButtonReturn. Main thread.

#include <QString>

#include <functional>

class QWidget;

class PRAlertView
{
public:
    static constexpr int kFirstButtonReturn = 1000;
    static constexpr int kSecondButtonReturn = 1001;
    static constexpr int kThirdButtonReturn = 1002;

    using CompletionHandler = std::function<void(int response)>;

    // Returns at once; the handler gets the response once the user has answered.
    static void alertSheetFirstBtnTitle(const QString &firstTitle, const QString &secondTitle,
                                        const QString &messageText, const QString &informativeText,
                                        QWidget *window, CompletionHandler completionHandler);
    // Returns once the user has answered, and writes which button it was to the process log.
    static void alertModalFirstBtnTitle(const QString &firstTitle, const QString &secondTitle,
                                        const QString &messageText, const QString &informativeText);
};
