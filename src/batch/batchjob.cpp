#include "batch/batchjob.h"

#include "basket/inputfiles.h"
#include "batch/batchoptions.h"

namespace pagorra {

using namespace Qt::StringLiterals;

BatchPlan planBatchRun(const BatchOptions &o, const QString &storePath)
{
    BatchPlan plan;
    Job &job = plan.job;
    job.settings = batchBaseSettings(storePath);
    if (!o.job.isEmpty()) {
        JobRead read = readJob(o.job, job.settings);
        if (!read.job) {
            plan.error = read.error;
            return plan;
        }
        job = std::move(*read.job);
    }
    applyBatchOptions(o, job.settings);
    if (o.job.isEmpty() || !o.inputs.isEmpty()) {
        // Folders are listed with the picture types the settings offer.
        setAllFormatsOffered(job.settings.Input.ReadAllFormats);
        const BatchInputs inputs = listBatchInputs(o.inputs);
        if (!inputs.error.isEmpty()) {
            plan.error = inputs.error;
            return plan;
        }
        job.basket = inputs.files;
    }
    // An output given replaces the job's whole target; --multipage alone turns the job's into
    // a document.
    if (!o.output.isEmpty())
        job.target = {o.output, o.multipage};
    else
        job.target.multipage = job.target.multipage || o.multipage;
    if (o.saveJob.isEmpty()) {
        if (job.target.file.isEmpty())
            plan.error = u"no output file given (-o OUTPUT), and the job names none"_s;
        else
            plan.error = targetProblem(job.target.file, job.target.multipage);
    }
    return plan;
}

} // namespace pagorra
