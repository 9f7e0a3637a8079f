#pragma once

// The job database that the print queue's backend writes and the monitor reads and rewrites: its
// file in the spool's database folder, its one table, and that table's columns in their fixed
// order, which is also the order of every statement built from a row. Constant data.

#include <array>

namespace JobDatabase {

inline constexpr auto kFileName = "print_job.db";
inline constexpr auto kTableName = "t_job";

inline constexpr std::array kColumns{"job_id", "fileName",   "copies",    "orientation",
                                     "duplex", "color",      "paperSize", "pageType",
                                     "pages",  "totalPages", "isUploaded"};

// The table as its writers create it: job_id the key, isUploaded an integer that starts at 0, the
// other columns text.
inline constexpr auto kCreateTable =
    "        CREATE TABLE IF NOT EXISTS t_job (job_id integer,fileName text,copies text,"
    "orientation text,duplex text,color text,paperSize text,pageType text,pages text,"
    "totalPages text,isUploaded integer DEFAULT 0,PRIMARY KEY (job_id));";

} // namespace JobDatabase
