// The host's name tables: contents, ascending order and the codes without an entry.
#include <VocabularyTables.h>
#include <gtest/gtest.h>

namespace {

std::vector<std::pair<int, QString>> entries(const QMap<int, QString>& table) {
  std::vector<std::pair<int, QString>> result;
  for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
    result.emplace_back(it.key(), it.value());
  }
  return result;
}

TEST(VocabularyTables, HoldEveryCodeInAscendingOrder) {
  const std::vector<std::pair<int, QString>> families = {
      {0, "Unknown(0)"},     {100, "Virtual Camera(100)"}, {110, "BitFlow(110)"},
      {120, "Gige(120)"},    {130, "USB Camera(130)"},     {140, "HIK(140)"},
      {150, "Vimba(150)"},   {160, "Baumer(160)"},         {170, "AdLink(170)"},
      {180, "DaHua(180)"},   {190, "Basler(190)"},         {200, "PtGray(200)"},
      {220, "Euresys(220)"}, {230, "Dalsa(230)"}};
  EXPECT_EQ(entries(g_cameraFamilyNames), families);
  EXPECT_EQ(entries(g_cameraStateNames), (std::vector<std::pair<int, QString>>{{0, "Uninitialized"},
                                                                               {1, "Initialized"},
                                                                               {2, "Opened"},
                                                                               {3, "Running"},
                                                                               {4, "Paused"},
                                                                               {5, "Closed"}}));
  EXPECT_EQ(entries(g_portTypeNames), (std::vector<std::pair<int, QString>>{{0, "Unknown"},
                                                                            {1, "Serial Port"},
                                                                            {2, "USB Port"},
                                                                            {3, "TCP Client"},
                                                                            {4, "TCP Server"},
                                                                            {5, "TCP Client Session"}}));
  EXPECT_EQ(entries(g_imageFormatNames), (std::vector<std::pair<int, QString>>{{0, "None"},
                                                                               {1, "GRAY8"},
                                                                               {2, "RGB24"},
                                                                               {3, "RGB32"},
                                                                               {4, "GRAY16"},
                                                                               {5, "RGB48"},
                                                                               {11, "BGR24"},
                                                                               {12, "BGR32"}}));
}

TEST(VocabularyTables, UnlistedCodesHaveNoEntry) {
  EXPECT_FALSE(g_cameraFamilyNames.contains(210));
  EXPECT_FALSE(g_cameraStateNames.contains(6));
  EXPECT_FALSE(g_portTypeNames.contains(6));
  for (int code = 6; code <= 10; ++code) {
    EXPECT_FALSE(g_imageFormatNames.contains(code)) << code;
  }
}

TEST(VocabularyTables, BuildingKeepsOneEntryPerCodeAndTheLastText) {
  const QMap<int, QString> table = zazodBuildNameTable({{5, "b"}, {1, "a"}, {5, "c"}});
  EXPECT_EQ(entries(table), (std::vector<std::pair<int, QString>>{{1, "a"}, {5, "c"}}));
}

}  // namespace
