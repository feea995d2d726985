#include "ui/reportpresenter.h"

#include "errors/errorhandler.h"
#include "errors/errorreportwindow.h"

namespace pagorra {

void installReportPresenter()
{
    setReportPresenter(showErrorReport);
}

} // namespace pagorra
