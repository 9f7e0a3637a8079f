#pragma once

// Sends the process's standard error (file descriptor 2) to a file while it lives, so that a test
// can read what was written there by any thread; restores it at the end.

#include <QString>
#include <QTemporaryDir>

class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    bool isCapturing() const { return m_saved >= 0; }
    // Everything written so far.
    QString text() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_saved = -1;
};
