#include "errors/errorhandler.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace pagorra;

namespace {

TEST(ErrorHandler, FillsTheReportAndShowsItOnce)
{
    std::vector<ErrorReport> shown;
    setReportPresenter([&](const ErrorReport &r) { shown.push_back(r); });
    initErrorHandling();
    EXPECT_EQ(errorReport().applicationName, u"Arvok Pagorra contact sheets for Linux");

    setLastAction(QStringLiteral("Starting batch printing"));
    try {
        PAGORRA_RAISE(err::FileNotFound, QStringLiteral("File not found"));
    } catch (const RuntimeError &e) {
        globalErrorHandler(e, QStringLiteral("cmdSaveAll_Click"));
    }
    ASSERT_EQ(shown.size(), 1u);
    const ErrorReport &r = shown[0];
    EXPECT_EQ(r.routineName, u"cmdSaveAll_Click");
    EXPECT_EQ(r.trappingString, u"Starting batch printing");
    EXPECT_EQ(r.systemError, u"53 - File not found");
    EXPECT_GT(r.errorLineNumber, 0);
    EXPECT_EQ(r.applicationName, u"Arvok Pagorra contact sheets for Linux");
    // The action text stays until another operation replaces it.
    EXPECT_EQ(lastAction(), u"Starting batch printing");

    globalErrorHandler(QStringLiteral("Registry data not a string"), err::ApplicationBase + 2004, 12,
                       QStringLiteral("subLoadRegistrySettings"));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].systemError, u"-2147219500 - Registry data not a string");
    EXPECT_EQ(shown[1].errorLineNumber, 12);
    EXPECT_EQ(shown[1].trappingString, u"Starting batch printing");
    setReportPresenter({});
}

TEST(ErrorHandler, VersionNamesTheSystem)
{
    const QString os = osVersionName();
    EXPECT_FALSE(os.endsWith(u')')) << os.toStdString();
    const QString version = applicationVersionText();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^(0|[1-9]\\d*)\\.(0|[1-9]\\d*)\\.(0|[1-9]\\d*) \\(.*\\)$"))
                    .match(version)
                    .hasMatch())
        << version.toStdString();
    EXPECT_EQ(version, QStringLiteral("%1.%2.%3 (%4)")
                           .arg(PAGORRA_VERSION_MAJOR)
                           .arg(PAGORRA_VERSION_MINOR)
                           .arg(PAGORRA_VERSION_PATCH)
                           .arg(os));
}

} // namespace
