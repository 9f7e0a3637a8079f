#pragma once

// The size text of a file-system item, as shown for uploads: bytes for a file, decimal
// kilo-, mega- or gigabytes for a directory and everything below it. Any thread.

#include <QString>

class FileSize
{
public:
    // "0kb" when the item cannot be read. A file gives its size in bytes with at least two digits
    // ("05"). A directory gives the sum of the sizes of all items below it, directories included,
    // as "%.2fGB", "%.2fMB", "%.2fKB" or, under 1000 bytes, "1KB"; an empty directory gives null.
    static QString fileSize(const QString &path);
};
