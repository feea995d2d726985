#include "errors/reportrequest.h"

#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

ErrorReport sampleReport()
{
    ErrorReport r;
    r.applicationName = u"Pagorra"_s;
    r.applicationVersion = u"1.6.47"_s;
    r.routineName = u"cmdSaveAll_Click"_s;
    r.errorLineNumber = 120;
    r.trappingString = u"Starting"_s;
    r.systemError = u"53"_s;
    return r;
}

TEST(ReportRequest, KeysInOrderUnderTheServerPathPrefix)
{
    const QUrl url = buildReportRequest(QUrl(u"https://reports.test:8443/errors/?old=1#top"_s), sampleReport(),
                                        u"me@home.test"_s, u"x"_s);
    EXPECT_EQ(url.toEncoded(),
              QByteArray("https://reports.test:8443/errors/email/reportError.asp?ApplicationName=Pagorra"
                         "&EmailFrom=me%40home.test&ApplicationVersion=1.6.47"
                         "&RoutineName=cmdSaveAll_Click&ErrorLineNumber=120&StringMessage=Starting"
                         "&Error=53&UserDescription=x"));
}

TEST(ReportRequest, StoredServerUsedOnlyWhenItIsAnHttpAddress)
{
    EXPECT_EQ(defaultReportServerUrl().scheme(), u"https"_s);
    EXPECT_EQ(reportServerFromStored(u" http://127.0.0.1:8080/r "_s), QUrl(u"http://127.0.0.1:8080/r"_s));
    for (const char *bad : {"", "reports.test", "ftp://reports.test", "file:///tmp/x", "http://", "http://exa mple"})
        EXPECT_EQ(reportServerFromStored(QString::fromLatin1(bad)), defaultReportServerUrl()) << bad;
}

} // namespace
