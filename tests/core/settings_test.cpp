#include "core/colors.h"
#include "core/settings.h"

#include <gtest/gtest.h>

using namespace pagorra;

TEST(Settings, InitialRecordIsZeroedAndDefaultsDiffer)
{
    const RegistrySettings initial;
    EXPECT_EQ(initial.PageWidth, 0);
    EXPECT_TRUE(initial.Title.isEmpty());
    const RegistrySettings d = defaultSettings();
    EXPECT_EQ(d.PageWidth, 800);
    EXPECT_EQ(d.ThumbnailHeight, 88);
    EXPECT_EQ(d.TitleFontColor, -2147483630);
    EXPECT_EQ(d.PrinterIndex, -1);
}

TEST(Colors, StoredFormIsBgr)
{
    EXPECT_EQ(resolveColor(16777215), QColor(255, 255, 255));
    EXPECT_EQ(resolveColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(colorToStored(QColor(0, 0, 255)), 0xFF0000);
}
