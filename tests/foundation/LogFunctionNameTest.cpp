#include "foundation/logging/Log.h"

#include <gtest/gtest.h>

TEST(LogFunctionName, CoroutineFrameIsNamedAfterItsCoroutine)
{
    const struct
    {
        const char *compilerName;
        const char *expected;
    } cases[] = {
        {"void A::run(A::run(int)::_ZN1A3runEi.Frame*)", "void A::run(int)"},
        {"QCoro::Task<Result<QJsonObject> > HTTPManager::send(HTTPManager::send(Method, QString)::"
         "_ZN11HTTPManager4sendE6Method7QString.Frame*)",
         "QCoro::Task<Result<QJsonObject> > HTTPManager::send(Method, QString)"},
        {"void AppDelegate::initialization()", "void AppDelegate::initialization()"},
        {"int main()", "int main()"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Log::functionName(c.compilerName), QString::fromUtf8(c.expected))
            << c.compilerName;
}
