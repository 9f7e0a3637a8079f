#pragma once

// How a job's PDF is staged in the spool folder before it is published. Constant data.

enum class PdfStaging {
    // An unnamed file (O_TMPFILE), which nobody else can see, open or swap; a hidden partial name
    // where the file system has no unnamed files.
    Unnamed,
    // Always the hidden partial name, as on a file system without unnamed files.
    HiddenName,
};
