#include <gtest/gtest.h>

#include "session/IntConv.h"
#include "session/StrUtils.h"

struct IntCase {
  const char* Text;
  bool Ok;
  int32_t Value;
};

class IntegerConversion : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntegerConversion, ReadsTextAsTheSettingsAndPortsDo) {
  const IntCase& c = GetParam();
  int32_t value = -12345;
  EXPECT_EQ(TryStrToInt(c.Text, value), c.Ok) << c.Text;
  if (c.Ok) {
    EXPECT_EQ(value, c.Value) << c.Text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, IntegerConversion,
    ::testing::Values(IntCase{"7777", true, 7777}, IntCase{"0x1E61", true, 7777},
                      IntCase{"$1E61", true, 7777}, IntCase{"x1e61", true, 7777},
                      IntCase{"X1E61", true, 7777}, IntCase{"0X1e61", true, 7777},
                      IntCase{"  42", true, 42}, IntCase{"+5", true, 5}, IntCase{"-1", true, -1},
                      IntCase{"-$10", true, -16}, IntCase{"2147483647", true, 2147483647},
                      IntCase{"-2147483648", true, INT32_MIN}, IntCase{"$FFFFFFFF", true, -1},
                      IntCase{"2147483648", false, 0}, IntCase{"$100000000", false, 0},
                      IntCase{"", false, 0}, IntCase{"   ", false, 0}, IntCase{"5a", false, 0},
                      IntCase{"5 ", false, 0}, IntCase{"7777\r\n", false, 0},
                      IntCase{"0x", false, 0}, IntCase{"$", false, 0}, IntCase{"--1", false, 0},
                      IntCase{"\t1", false, 0}, IntCase{"1.5", false, 0}));

TEST(IntegerConversion, ErrorCarriesTheFixedText) {
  try {
    StrToInt("7777\r\n");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'7777\r\n' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("5a", 8), 8);
}

TEST(StringOperations, CountPositionsFromOneAndForgiveOutOfRangeArguments) {
  EXPECT_EQ(Str::Pos("(", "Bob (3)"), 5);
  EXPECT_EQ(Str::Pos("x", "Bob"), 0);
  EXPECT_EQ(Str::Copy("abcdef", 0, 2), "ab");
  EXPECT_EQ(Str::Copy("abcdef", 5, 10), "ef");
  EXPECT_EQ(Str::Copy("abcdef", 7, 1), "");
  EXPECT_EQ(Str::Copy("abcdef", 2, -1), "");
  std::string s = "abcdef";
  Str::Delete(s, 0, 3);
  EXPECT_EQ(s, "abcdef");
  Str::Delete(s, 5, 100);
  EXPECT_EQ(s, "abcd");
  Str::Delete(s, 1, 1);
  EXPECT_EQ(s, "bcd");
  EXPECT_EQ(Str::Trim("\t  a b \r\n"), "a b");
  EXPECT_EQ(Str::BlanksToUnderscores("Big Al "), "Big_Al_");
}
