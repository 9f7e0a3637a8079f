#pragma once

// The REST family's name for the job and FTP-target reply: the same twelve properties, types
// and order as VQJobInfoResult, so it is that record. Nothing creates one.

#include "client/models/VQJobInfoResult.h"

using JobInfoModel = VQJobInfoResult;
