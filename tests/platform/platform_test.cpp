#include <gtest/gtest.h>

#include "platform/program_folder.h"
#include "platform/ui_language.h"

TEST(UiLanguage, FirstSetLocaleVariableDecides) {
  auto chinese = [](const char* all, const char* messages, const char* lang) {
    return (languageIdFromLocale(all, messages, lang) & 0x3FF) == 4;
  };
  EXPECT_TRUE(chinese(nullptr, nullptr, "zh_CN.UTF-8"));
  EXPECT_TRUE(chinese("zh_TW", nullptr, "en_US.UTF-8"));
  EXPECT_FALSE(chinese("en_GB.UTF-8", "zh_CN", "zh_CN"));
  EXPECT_TRUE(chinese("", "zh", "en_US"));
  EXPECT_FALSE(chinese(nullptr, nullptr, nullptr));
  EXPECT_FALSE(chinese("", "", ""));
  EXPECT_FALSE(chinese(nullptr, nullptr, "C"));
  EXPECT_FALSE(chinese(nullptr, nullptr, "z"));
  EXPECT_FALSE(chinese(nullptr, nullptr, "ZH_CN")) << "locale names are case-sensitive";
}

TEST(ProgramFolder, FolderOfModulePathDropsTheLastComponent) {
  EXPECT_EQ(folderOfModulePath("/opt/orvane/bin/orvane"), "/opt/orvane/bin");
  EXPECT_EQ(folderOfModulePath("/opt/orvane//orvane"), "/opt/orvane");
  EXPECT_EQ(folderOfModulePath("C:\\Games\\Orvane\\orvane.exe"), "C:\\Games\\Orvane");
  EXPECT_EQ(folderOfModulePath("/orvane"), "");
  EXPECT_EQ(folderOfModulePath("orvane"), std::nullopt);
  EXPECT_EQ(folderOfModulePath(""), std::nullopt);
}

TEST(ProgramFolder, DataFoldersSitBesideTheRunningExecutable) {
  const auto exe = executablePath();
  ASSERT_TRUE(exe.has_value());
  EXPECT_EQ(programFolder(), *folderOfModulePath(*exe));
  EXPECT_EQ(dataFolder("saves"), programFolder() + "/saves");
}
