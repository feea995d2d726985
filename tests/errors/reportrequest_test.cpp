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

QString encodedDescription(const QString &description)
{
    const QUrl url = buildReportRequest(QUrl(QStringLiteral("http://h")), sampleReport(), QString(), description);
    const QByteArray encoded = url.toEncoded();
    const QByteArray key = "&UserDescription=";
    return QString::fromLatin1(encoded.mid(encoded.indexOf(key) + key.size()));
}

} // namespace

TEST(ReportRequest, KeysInOrderUnderTheReportPath)
{
    const QUrl url = buildReportRequest(QUrl(QStringLiteral("https://reports.test:8443")), sampleReport(),
                                        QStringLiteral("me@home.test"), QStringLiteral("x"));
    EXPECT_EQ(url.toEncoded(), QByteArray("https://reports.test:8443/email/reportError.asp?ApplicationName=Pagorra"
                                          "&EmailFrom=me%40home.test&ApplicationVersion=1.6.47"
                                          "&RoutineName=cmdSaveAll_Click&ErrorLineNumber=120&StringMessage=Starting"
                                          "&Error=53&UserDescription=x"));
}

TEST(ReportRequest, ServerPathPrefixKeptAndStaleQueryDropped)
{
    const QUrl url = buildReportRequest(QUrl(QStringLiteral("http://h/errors/?old=1#top")), sampleReport(), {}, {});
    EXPECT_EQ(url.path(), QStringLiteral("/errors/email/reportError.asp"));
    EXPECT_TRUE(url.query().startsWith(QStringLiteral("ApplicationName=")));
    EXPECT_FALSE(url.hasFragment());
}

struct EncodingCase {
    const char *name;
    QString description;
    const char *encoded;
};

class ReportRequestEncoding : public testing::TestWithParam<EncodingCase> {};

// Each of these would end the value, forge a key, cut the request or change meaning on the server.
TEST_P(ReportRequestEncoding, ValueCannotLeakIntoTheQuery)
{
    EXPECT_EQ(encodedDescription(GetParam().description), QString::fromLatin1(GetParam().encoded));
}

INSTANTIATE_TEST_SUITE_P(Values, ReportRequestEncoding,
                         testing::Values(EncodingCase{"ampersand_equals", QStringLiteral("a&Error=b"), "a%26Error%3Db"},
                                         EncodingCase{"space_plus", QStringLiteral("1 + 1"), "1%20%2B%201"},
                                         EncodingCase{"hash_percent", QStringLiteral("#5 100%"), "%235%20100%25"},
                                         EncodingCase{"line_breaks", QStringLiteral("one\r\ntwo\n"), "one%0D%0Atwo%0A"},
                                         EncodingCase{"utf8", QString::fromUtf8("Größe ✓"),
                                                      "Gr%C3%B6%C3%9Fe%20%E2%9C%93"},
                                         EncodingCase{"empty", QString(), ""}),
                         [](const testing::TestParamInfo<EncodingCase> &info) { return std::string(info.param.name); });

TEST(ReportRequest, SenderAddressTrimmedOrPlaceholder)
{
    EXPECT_EQ(senderAddress(QStringLiteral("  me@home.test \t")), QStringLiteral("me@home.test"));
    EXPECT_EQ(senderAddress(QStringLiteral("   ")), placeholderEmailAddress());
    EXPECT_EQ(senderAddress(QString()), placeholderEmailAddress());
    EXPECT_TRUE(placeholderEmailAddress().contains(u'@'));
}

TEST(ReportRequest, DefaultServerIsHttps)
{
    EXPECT_EQ(defaultReportServerUrl().scheme(), QStringLiteral("https"));
    EXPECT_FALSE(defaultReportServerUrl().host().isEmpty());
}

TEST(ReportRequest, StoredServerUsedOnlyWhenItIsAnHttpAddress)
{
    EXPECT_EQ(reportServerFromStored(QStringLiteral(" http://127.0.0.1:8080/r ")),
              QUrl(QStringLiteral("http://127.0.0.1:8080/r")));
    EXPECT_EQ(reportServerFromStored(QStringLiteral("https://reports.test")),
              QUrl(QStringLiteral("https://reports.test")));
    for (const char *bad : {"", "reports.test", "ftp://reports.test", "file:///tmp/x", "http://", "http://exa mple"})
        EXPECT_EQ(reportServerFromStored(QString::fromLatin1(bad)), defaultReportServerUrl()) << bad;
}
