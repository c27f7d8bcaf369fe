// The AVI information report of the checker slot, read from mediainfo's JSON: the lines
// the program looks for, in their exact layout, and what an absent field becomes.

#include <gtest/gtest.h>

#include <string>

#include "toolkit/slots/Slots.h"

namespace quillet::toolkit {
namespace {

std::string Json(const std::string& videoFields) {
  return R"({"media":{"@ref":"t.avi","track":[{"@type":"General","Format":"AVI"},)"
         R"({"@type":"Video","Format":"MPEG-4 Visual")" +
         videoFields + R"(},{"@type":"Audio","Format":"MPEG Audio"}]}})";
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ToolkitAviInfo, WritesTheFieldsInTheReportLayout) {
  struct Case {
    const char* name;
    std::string fields;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"plain Xvid",
       R"(,"CodecID":"XVID","Format_Settings_QPel":"No","Format_Settings_GMC":"0")",
       {"Codec ID:          XVID\n", "QPel:              No\n", "GMC:               No\n"}},
      {"quarter-pixel",
       R"(,"CodecID":"XVID","Format_Settings_QPel":"Yes","Format_Settings_GMC":"0")",
       {"QPel:              Yes\n", "GMC:               No\n"}},
      {"three warp points",
       R"(,"CodecID":"XVID","Format_Settings_QPel":"No","Format_Settings_GMC":"3")",
       {"QPel:              No\n", "GMC:               Yes\n"}},
      {"warp points in words",
       R"(,"CodecID":"DX50","Format_Settings_GMC":"No warppoints")",
       {"GMC:               No\n", "QPel:              Unknown\n"}},
      {"DivX 3 without the MPEG-4 fields",
       R"(,"CodecID":"DIV3")",
       {"Codec ID:          DIV3\n", "QPel:              Unknown\n",
        "GMC:               Unknown\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string report = AviInfoReport(Json(c.fields), "t.avi");
    for (const std::string& line : c.lines) EXPECT_TRUE(Has(report, line)) << report;
    EXPECT_FALSE(Has(report, "Error:")) << report;
  }
}

// An absent field never reads as "No": the program would pass the file unchecked.
TEST(ToolkitAviInfo, AnAbsentFieldIsNotNo) {
  const std::string report = AviInfoReport(Json(R"(,"CodecID":"XVID")"), "t.avi");
  EXPECT_FALSE(Has(report, "QPel:              No")) << report;
  EXPECT_FALSE(Has(report, "GMC:               No")) << report;
}

TEST(ToolkitAviInfo, AnUnreadableFileGivesOneErrorLine) {
  for (const std::string& json : {std::string(R"({"media":null})"), std::string("not json"),
                                  std::string(R"({"media":{"track":[{"@type":"General"}]}})")}) {
    SCOPED_TRACE(json);
    const std::string report = AviInfoReport(json, "t.avi");
    EXPECT_EQ(report.rfind("Error: ", 0), 0u) << report;
    EXPECT_FALSE(Has(report, "QPel")) << report;
  }
}

}  // namespace
}  // namespace quillet::toolkit
