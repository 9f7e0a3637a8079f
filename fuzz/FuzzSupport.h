#pragma once

// What every fuzz target shares: one QCoreApplication for the process, a logger that counts the
// statements instead of writing them (so that targets run fast and can see that a line was
// logged), a scratch folder that lives as long as the process, and the check that aborts the run
// when a target's property is broken (libFuzzer then keeps the input as a finding).
//
// A critical line on the process log (the assertion handler's report of a violated precondition)
// aborts the run too; other process-log lines are dropped.
//
// Called from libFuzzer's thread, which is the process's main thread.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

class FuzzSupport
{
public:
    // Once, from LLVMFuzzerInitialize.
    static void initialize(int *argc, char ***argv);

    // Aborts with the message when the property does not hold.
    static void require(bool holds, const char *property);

    // Log statements made since the process started.
    static quint64 loggedStatements();

    // An empty folder of this process, removed at exit.
    static QString scratchFolder();

    // The input as bytes that refer to libFuzzer's own buffer, so that a read past its end is
    // caught by the address sanitizer (QByteArray would copy it into a larger block).
    static QByteArray rawBytes(const uint8_t *data, size_t size);

    // Waits (running the event loop) until the flag is set or the limit passes; false then.
    static bool spinUntil(const bool &flag, int limitMs);
};
