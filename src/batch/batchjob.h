#pragma once

#include "batch/batchcommandline.h"
#include "core/registrystore.h"
#include "jobs/jobfile.h"

#include <QString>

namespace pagorra {

// What a batch run works on once its job, if any, and its flags are put together: the stored
// settings under the job's values under the flags, the job's inputs unless inputs are given,
// and the output given or else the job's.
struct BatchPlan {
    Job job;       // the basket as absolute paths; a target with an empty file when none is known
    QString error; // why no run can be made, as one line; empty when it can
};

// Reads the job and lists the inputs. Without --save-job, an output must be known and of a
// format that takes the pages.
BatchPlan planBatchRun(const BatchOptions &options, const QString &storePath = RegistryStore::defaultPath());

} // namespace pagorra
