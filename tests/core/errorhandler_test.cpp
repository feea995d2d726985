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
    setLastAction(QStringLiteral("Starting batch printing"));
    try {
        PAGORRA_RAISE(err::FileNotFound, QStringLiteral("File not found"));
    } catch (const RuntimeError &e) {
        globalErrorHandler(e, QStringLiteral("cmdSaveAll_Click"));
    }
    globalErrorHandler(QStringLiteral("Registry data not a string"), err::ApplicationBase + 2004, 12,
                       QStringLiteral("subLoadRegistrySettings"));
    setReportPresenter({});

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].routineName, u"cmdSaveAll_Click");
    EXPECT_EQ(shown[0].systemError, u"53 - File not found");
    EXPECT_GT(shown[0].errorLineNumber, 0);
    EXPECT_EQ(shown[0].applicationName, u"Arvok Pagorra contact sheets for Linux");
    // The action text stays until another operation replaces it.
    EXPECT_EQ(shown[1].trappingString, u"Starting batch printing");
    EXPECT_EQ(shown[1].systemError, u"-2147219500 - Registry data not a string");
    EXPECT_EQ(shown[1].errorLineNumber, 12);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+ \\([^()]+\\)$"))
                    .match(shown[1].applicationVersion)
                    .hasMatch())
        << shown[1].applicationVersion.toStdString();
}

} // namespace
