#pragma once

// Log statements of both programs. Every statement is handed to the asynchronous spdlog logger
// that the program installed at start-up (see LogSetup); before that, statements go to standard
// error.
//
// - Client statements (Log::client) carry the function and line in their message:
//   "f: <function>, l: <line>,\n" followed by the text, in which "##" marks information and
//   "!!" a failure.
// - Monitor statements (Log::warning / Log::info / Log::debug) are the text alone.
//
// Lines for the plain process log (NSLog in the original) use qInfo() instead.

#include <QString>

#include <memory>
#include <source_location>

namespace spdlog {
class logger;
}

class Log
{
public:
    static void client(const QString &message,
                       std::source_location where = std::source_location::current());
    // A client statement whose function is named as given (a plain function's own name, as its
    // lines are written) instead of by the compiler's signature. The name must stay valid for
    // the program's life (a literal): the statement is written later, on the logging thread.
    static void client(const QString &message, const char *function,
                       std::source_location where = std::source_location::current());

    static void warning(const QString &message,
                        std::source_location where = std::source_location::current());
    static void info(const QString &message,
                     std::source_location where = std::source_location::current());
    static void debug(const QString &message,
                      std::source_location where = std::source_location::current());

    // The prefix of a client statement, "f: %s, l: %d,\n".
    // The function as the statement names it; coroutine frames are named after their coroutine.
    static QString functionName(const char *compilerName);
    static QString clientPrefix(const std::source_location &where);

    // Installs the logger that receives every later statement; null restores the stderr default.
    static void setLogger(std::shared_ptr<spdlog::logger> logger);
    static std::shared_ptr<spdlog::logger> logger();

    // Writes out what the asynchronous logger still holds, and returns once it is written.
    static void flush();
};
