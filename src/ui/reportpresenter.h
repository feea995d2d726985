#pragma once

namespace pagorra {

// Makes the global error handler show its reports in a modal window of the desktop program.
void installReportPresenter();

} // namespace pagorra
