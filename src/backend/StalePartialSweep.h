#pragma once

// Removes partial files left in the spool folder by backends that were killed outright (SIGKILL,
// a crash, a power cut). A writer holds an exclusive flock on its partial file for its whole
// life, so a partial whose lock can be taken has no writer left; one that another running
// backend still writes is kept. Every local user can write to the spool folder: only regular
// files of the partial form are touched, each opened without following links and removed only
// while it is still the file that was locked; links, folders and anything else are left alone.
// Plain function on the folder's descriptor, any thread.

class StalePartialSweep
{
public:
    // Best effort: what cannot be listed, opened or locked is left as it is.
    static void removeStale(int folder);
};
