#include <gtest/gtest.h>

#include <string>

#include "app/ErrorText.h"

namespace {

struct TPeriodCase {
  const char* Name;
  std::string Message;
  std::string Shown;
};

class ErrorBoxTextTest : public ::testing::TestWithParam<TPeriodCase> {};

TEST_P(ErrorBoxTextTest, AddsPeriodUnlessMessageEndsAtOrBelowPeriod) {
  EXPECT_EQ(ErrorBoxText(GetParam().Message), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(
    PeriodRule, ErrorBoxTextTest,
    ::testing::Values(TPeriodCase{"Letter", "Read Timeout", "Read Timeout."},
                      TPeriodCase{"Digit", "Socket Error # 10061", "Socket Error # 10061."},
                      TPeriodCase{"Quote", "'5a' is not a valid integer value",
                                  "'5a' is not a valid integer value."},
                      TPeriodCase{"Period", "Unable to write to ./Brennak.ini.",
                                  "Unable to write to ./Brennak.ini."},
                      TPeriodCase{"Hyphen", "Failed -",
                                  "Failed -"},                  // "-" (45) lies just below "." (46)
                      TPeriodCase{"Slash", "path/", "path/."},  // "/" (47) lies just above
                      TPeriodCase{"Comma", "one, two,", "one, two,"},
                      TPeriodCase{"Blank", "trailing ", "trailing "},
                      TPeriodCase{"LineEnd", "two lines\r\n", "two lines\r\n"},
                      TPeriodCase{"Exclamation", "Stop!", "Stop!"},
                      TPeriodCase{"DoubleQuote", "name \"x\"", "name \"x\""},
                      TPeriodCase{"UpperHalfByte", std::string("Caf\xE9"), std::string("Caf\xE9.")},
                      TPeriodCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<TPeriodCase>& info) { return info.param.Name; });

}  // namespace
