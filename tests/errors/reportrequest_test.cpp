#include "errors/reportrequest.h"

#include <gtest/gtest.h>

using namespace pagorra;

namespace {

ErrorReport sampleReport()
{
    ErrorReport r;
    r.applicationName = QStringLiteral("Pagorra");
    r.applicationVersion = QStringLiteral("1.6.47");
    r.routineName = QStringLiteral("cmdSaveAll_Click");
    r.errorLineNumber = 120;
    r.trappingString = QStringLiteral("Starting");
    r.systemError = QStringLiteral("53");
    return r;
}

TEST(ReportRequest, KeysInOrderUnderTheServerPathPrefix)
{
    const QUrl url = buildReportRequest(QUrl(QStringLiteral("https://reports.test:8443/errors/?old=1#top")),
                                        sampleReport(), QStringLiteral("me@home.test"), QStringLiteral("x"));
    EXPECT_EQ(url.toEncoded(),
              QByteArray("https://reports.test:8443/errors/email/reportError.asp?ApplicationName=Pagorra"
                         "&EmailFrom=me%40home.test&ApplicationVersion=1.6.47"
                         "&RoutineName=cmdSaveAll_Click&ErrorLineNumber=120&StringMessage=Starting"
                         "&Error=53&UserDescription=x"));
}

class ReportRequestEncoding : public testing::TestWithParam<std::pair<QString, const char *>> {};

// Each of these would end the value, forge a key, cut the request or change meaning on the server.
TEST_P(ReportRequestEncoding, ValueCannotLeakIntoTheQuery)
{
    const QByteArray encoded =
        buildReportRequest(QUrl(QStringLiteral("http://h")), sampleReport(), QString(), GetParam().first).toEncoded();
    EXPECT_TRUE(encoded.endsWith(QByteArray("&UserDescription=") + GetParam().second)) << encoded.constData();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, ReportRequestEncoding, testing::Values(
    std::pair{QStringLiteral("a&Error=b"), "a%26Error%3Db"}, std::pair{QStringLiteral("1 + 1"), "1%20%2B%201"},
    std::pair{QStringLiteral("#5 100%"), "%235%20100%25"}, std::pair{QStringLiteral("one\r\ntwo\n"), "one%0D%0Atwo%0A"},
    std::pair{QString::fromUtf8("Größe ✓"), "Gr%C3%B6%C3%9Fe%20%E2%9C%93"}));
// clang-format on

TEST(ReportRequest, StoredServerUsedOnlyWhenItIsAnHttpAddress)
{
    EXPECT_EQ(defaultReportServerUrl().scheme(), QStringLiteral("https"));
    EXPECT_EQ(reportServerFromStored(QStringLiteral(" http://127.0.0.1:8080/r ")),
              QUrl(QStringLiteral("http://127.0.0.1:8080/r")));
    for (const char *bad : {"", "reports.test", "ftp://reports.test", "file:///tmp/x", "http://", "http://exa mple"})
        EXPECT_EQ(reportServerFromStored(QString::fromLatin1(bad)), defaultReportServerUrl()) << bad;
}

} // namespace
