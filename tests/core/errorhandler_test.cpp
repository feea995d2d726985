#include "errors/errorhandler.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace pagorra;
using namespace Qt::StringLiterals;

namespace {

TEST(ErrorHandler, FillsTheReportAndShowsItOnce)
{
    std::vector<ErrorReport> shown;
    setReportPresenter([&](const ErrorReport &r) { shown.push_back(r); });
    initErrorHandling();
    setLastAction(u"Starting batch printing"_s);
    try {
        PAGORRA_RAISE(err::FileNotFound, u"File not found"_s);
    } catch (const RuntimeError &e) {
        globalErrorHandler(e, u"cmdSaveAll_Click"_s);
    }
    globalErrorHandler(u"Registry data not a string"_s, err::ApplicationBase + 2004, 12, u"subLoadRegistrySettings"_s);
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
    EXPECT_TRUE(
        QRegularExpression(u"^\\d+\\.\\d+\\.\\d+ \\([^()]+\\)$"_s).match(shown[1].applicationVersion).hasMatch())
        << shown[1].applicationVersion.toStdString();
}

} // namespace
