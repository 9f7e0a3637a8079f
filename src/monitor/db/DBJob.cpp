#include "DBJob.h"
