// What the profile file gives back, as one table for both adapters: the Win32
// one runs it against the platform's own profile functions (under Wine), the
// POSIX one against our reader and writer. The expected answers are the
// platform's.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "platform/SharedFile.h"
#include "support/TempDir.h"

namespace {

const std::string kDef = "<def>";

struct TReadCase {
  const char* Name;
  std::string File;
  std::string Section;
  std::string Key;
  std::string Def;
  std::string Expected;
};

std::string Repeat(char c, size_t n) {
  return std::string(n, c);
}

std::vector<TReadCase> ReadCases() {
  const std::string a2046 = Repeat('a', 2046), a2047 = Repeat('a', 2047), a2048 = Repeat('a', 2048);
  return {
      {"PlainValue", "[S]\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"NamesIgnoreCaseOfTheRequest", "[S]\r\nK=V\r\n", "s", "k", kDef, "V"},
      {"NamesIgnoreCaseOfTheFile", "[s]\r\nk=V\r\n", "S", "K", kDef, "V"},
      {"BlanksAroundNamesAndValue", "[ S ]\r\n  K  =  V  \r\n", "S", "K", kDef, "V"},
      {"TabsAroundNamesAndValue", "[\tS\t]\r\n\tK\t=\tV\t\r\n", "S", "K", kDef, "V"},
      {"VerticalTabAndFormFeedAreBlanks", "[S]\r\n\vK\v=\vV\f\r\n", "S", "K", kDef, "V"},
      {"NoBreakSpaceIsNoBlank", "[S]\r\nK=\xA0V\xA0\r\n", "S", "K", kDef, "\xA0V\xA0"},
      {"BlanksInsideTheValueStay", "[S]\r\n K = a b \r\n", "S", "K", kDef, "a b"},
      {"TabInsideTheValueStays", "[S]\r\nK=a\tb\r\n", "S", "K", kDef, "a\tb"},
      {"RequestedNamesLoseTheirBlanks", "[S]\r\nK=V\r\n", " S ", " K\r", kDef, "V"},
      {"BlanksInsideAKeyNameCount", "[S]\r\nMY  KEY=V\r\n", "S", "MY KEY", kDef, kDef},
      {"KeyNameWithABlank", "[S]\r\nMY KEY=V\r\n", "S", "MY KEY", kDef, "V"},
      {"DoubleQuotesRemoved", "[S]\r\nK=\"V\"\r\n", "S", "K", kDef, "V"},
      {"SingleQuotesRemoved", "[S]\r\nK='V'\r\n", "S", "K", kDef, "V"},
      {"MismatchedQuotesStayDoubleFirst", "[S]\r\nK=\"V'\r\n", "S", "K", kDef, "\"V'"},
      {"MismatchedQuotesStaySingleFirst", "[S]\r\nK='V\"\r\n", "S", "K", kDef, "'V\""},
      {"OpeningQuoteAloneStays", "[S]\r\nK=\"V\r\n", "S", "K", kDef, "\"V"},
      {"ClosingQuoteAloneStays", "[S]\r\nK=V\"\r\n", "S", "K", kDef, "V\""},
      {"LoneDoubleQuoteStays", "[S]\r\nK=\"\r\n", "S", "K", kDef, "\""},
      {"LoneSingleQuoteStays", "[S]\r\nK='\r\n", "S", "K", kDef, "'"},
      {"EmptyDoubleQuotes", "[S]\r\nK=\"\"\r\n", "S", "K", kDef, ""},
      {"EmptySingleQuotes", "[S]\r\nK=''\r\n", "S", "K", kDef, ""},
      {"OnlyOnePairOfQuotesGoes", "[S]\r\nK=\"\"V\"\"\r\n", "S", "K", kDef, "\"V\""},
      {"OtherQuotesInsideStay", "[S]\r\nK=\"'V'\"\r\n", "S", "K", kDef, "'V'"},
      {"QuoteInsideAQuotedValueStays", "[S]\r\nK=\"a\"b\"\r\n", "S", "K", kDef, "a\"b"},
      {"BlanksInsideQuotesStay", "[S]\r\nK=  \" V \"  \r\n", "S", "K", kDef, " V "},
      {"TextAfterTheClosingQuote", "[S]\r\nK=\"V\"x\r\n", "S", "K", kDef, "\"V\"x"},
      {"TextBeforeTheOpeningQuote", "[S]\r\nK=x\"V\"\r\n", "S", "K", kDef, "x\"V\""},
      {"CarNameWithQuotedNickname", "[CAR]\r\nCAR01=Mk 2 \"Rapier\"\r\n", "CAR", "CAR01", kDef,
       "Mk 2 \"Rapier\""},
      {"EmptyValueIsNoDefault", "[S]\r\nK=\r\n", "S", "K", kDef, ""},
      {"BlankValueIsEmpty", "[S]\r\nK=   \r\n", "S", "K", kDef, ""},
      {"KeyWithoutEqualsGivesTheDefault", "[S]\r\nK\r\n", "S", "K", kDef, kDef},
      {"KeyWithoutEqualsGivesAnEmptyDefault", "[S]\r\nK\r\n", "S", "K", "", ""},
      {"KeyWithoutEqualsHidesALaterOne", "[S]\r\nK\r\nK=2\r\n", "S", "K", kDef, kDef},
      {"FirstKeyWins", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", kDef, "1"},
      {"FirstKeyWinsWhateverItsCase", "[S]\r\nk=1\r\nK=2\r\n", "S", "K", kDef, "1"},
      {"FirstKeyWinsWhenEmpty", "[S]\r\nK =\r\nK=2\r\n", "S", "K", kDef, ""},
      {"FirstSectionWins", "[S]\r\nK=1\r\n[S]\r\nK=2\r\n", "S", "K", kDef, "1"},
      {"OnlyTheFirstSectionIsSearched", "[S]\r\nJ=1\r\n[S]\r\nK=2\r\n", "S", "K", kDef, kDef},
      {"OnlyTheFirstSectionOfAnyCase", "[S]\r\n\r\n[s]\r\nK=W\r\n", "S", "K", kDef, kDef},
      {"CommentedKeyIsNotTheKey", "[S]\r\n;K=V\r\n", "S", "K", kDef, kDef},
      {"CommentLineBeforeTheKey", "[S]\r\n;comment\r\n# other\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"SemicolonInsideAValueStays", "[S]\r\nK=V ;c\r\n", "S", "K", kDef, "V ;c"},
      {"EqualsInsideAValueStays", "[S]\r\nK=a=b\r\n", "S", "K", kDef, "a=b"},
      {"KeysBeforeTheFirstSectionAreNotInIt", "K=V\r\n[S]\r\n", "S", "K", kDef, kDef},
      {"KeysBeforeTheFirstSectionHaveNoName", "K=V\r\n[S]\r\n", "", "K", kDef, "V"},
      {"MissingSection", "[S]\r\nK=V\r\n", "T", "K", kDef, kDef},
      {"MissingKey", "[S]\r\nK=V\r\n", "S", "J", kDef, kDef},
      {"KeyOfTheNextSection", "[S]\r\n[T]\r\nK=V\r\n", "S", "K", kDef, kDef},
      {"TextAfterTheSectionHeader", "[S] junk\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"EqualsAfterTheSectionHeader", "[S]=x\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"ControlCharacterAfterTheHeader", "[S]\x1A\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"SectionNameRunsToTheLastBracket", "[a]b]\r\nK=V\r\n", "a]b", "K", kDef, "V"},
      {"SectionNameIsNotCutAtTheFirstBracket", "[a]b]\r\nK=V\r\n", "a", "K", kDef, kDef},
      {"UnclosedHeaderIsSkipped", "[T]\r\n[S\r\nK=V\r\n", "T", "K", kDef, "V"},
      {"UnclosedHeaderIsNoKey", "[T]\r\n[S\r\nK=V\r\n", "T", "[S", kDef, kDef},
      {"BracketedLineWithEqualsIsAHeader", "[S]\r\n[K=V]\r\n", "S", "[K", kDef, kDef},
      {"BracketInsideAKeyName", "[S]\r\nK]=V\r\n", "S", "K]", kDef, "V"},
      {"HeaderMustStartTheLine", "[S]\r\nx[T]\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"HeaderAfterBlanks", "  [S]\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"BlankLinesInsideASection", "[S]\r\n\r\n   \r\n\t\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"LfLineEnds", "[S]\nK=V\n", "S", "K", kDef, "V"},
      {"CrLineEnds", "[S]\rK=V\r", "S", "K", kDef, "V"},
      {"NoLineEndAtTheEnd", "[S]\r\nK=V", "S", "K", kDef, "V"},
      {"CrAloneEndsTheValue", "[S]\r\nK=a\rb=c\r\n", "S", "K", kDef, "a"},
      {"CrAloneStartsAKey", "[S]\r\nK=a\rb=c\r\n", "S", "b", kDef, "c"},
      {"Utf8ByteOrderMarkIsSkipped", "\xEF\xBB\xBF[S]\r\nK=V\r\n", "S", "K", kDef, "V"},
      {"HighBytesPassThrough", "[S]\r\nK=\xE4\xF6\r\n", "S", "K", kDef, "\xE4\xF6"},
      {"ControlCharactersStay", "[S]\r\nK=\x01V\x01\r\n", "S", "K", kDef, "\x01V\x01"},
      {"EmptyKeyName", "[S]\r\n=V\r\n", "S", "", kDef, "V"},
      {"EmptyKeyNameMatchesNoNamedKey", "[S]\r\nK=V\r\n", "S", "", kDef, kDef},
      {"ValueOf2046", "[S]\r\nK=" + a2046 + "\r\n", "S", "K", kDef, a2046},
      {"ValueOf2047", "[S]\r\nK=" + a2047 + "\r\n", "S", "K", kDef, a2047},
      {"ValueOf2048IsCut", "[S]\r\nK=" + a2048 + "\r\n", "S", "K", kDef, a2047},
      {"CutKeepsTheFirst2047", "[S]\r\nK=" + a2046 + "bc\r\n", "S", "K", kDef, a2046 + "b"},
      {"BlanksGoBeforeTheCut", "[S]\r\nK=  " + a2047 + "  \r\n", "S", "K", kDef, a2047},
      {"CutMayEndInABlank", "[S]\r\nK=" + a2046 + " b\r\n", "S", "K", kDef, a2046 + " "},
      {"QuotedValueOf2046", "[S]\r\nK=\"" + a2046 + "\"\r\n", "S", "K", kDef, a2046},
      {"QuotedValueOf2048IsCut", "[S]\r\nK=\"" + a2048 + "\"\r\n", "S", "K", kDef, a2047},
      {"DefaultLosesTrailingSpaces", "[S]\r\n", "S", "K", "  de f  ", "  de f"},
      {"DefaultKeepsATab", "[S]\r\n", "S", "K", "\t", "\t"},
      {"DefaultLosesDoubleQuotes", "[S]\r\n", "S", "K", "\"def\"", "def"},
      {"DefaultLosesSingleQuotes", "[S]\r\n", "S", "K", "'def'", "def"},
      {"DefaultKeepsALoneQuote", "[S]\r\n", "S", "K", "\"def", "\"def"},
      {"DefaultKeepsQuotesAfterBlanks", "[S]\r\n", "S", "K", "  \"def\"  ", "  \"def\""},
      {"EmptyDefault", "[S]\r\n", "S", "K", "", ""},
      {"LongDefaultIsCut", "[S]\r\n", "S", "K", Repeat('d', 3000), Repeat('d', 2047)},
      {"HeaderWithEmptyNameComesAfterTheUnnamedPart", "[]\r\nK=V\r\n", "", "K", kDef, kDef},
      {"UnnamedPartWinsOverAnEmptyHeader", "K=V\r\n[]\r\nK=W\r\n", "", "K", kDef, "V"},
  };
}

class IniRead : public ::testing::TestWithParam<TReadCase> {};

TEST_P(IniRead, GivesWhatTheWindowsReaderGives) {
  const TReadCase& c = GetParam();
  TTempDir dir;
  WriteFileBytes(dir.File("t.ini"), c.File);
  TIniFile ini(dir.File("t.ini"));
  EXPECT_EQ(ini.ReadValue(c.Section, c.Key, c.Def), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Vectors, IniRead, ::testing::ValuesIn(ReadCases()),
                         [](const ::testing::TestParamInfo<TReadCase>& info) {
                           return std::string(info.param.Name);
                         });

struct TWrite {
  std::string Section, Key, Value;
};
struct TRead {
  std::string Section, Key, Expected;
};
struct TWriteCase {
  const char* Name;
  // Content of the file before the writes; nullptr: no file.
  const char* File;
  std::vector<TWrite> Writes;
  std::vector<TRead> Reads;
};

std::vector<TWriteCase> WriteCases() {
  const char* twoSections = "[S]\r\nK=V\r\n\r\n[T]\r\nA=1\r\n";
  std::vector<TWrite> carWrites;
  std::vector<TRead> carReads;
  for (int n = 1; n <= 13; ++n) {
    std::string key = (n < 10 ? "CAR0" : "CAR") + std::to_string(n);
    std::string name = n % 4 == 0 ? "" : "Car " + std::to_string(n);
    carWrites.push_back({"CAR", key, name});
    carReads.push_back({"CAR", key, name});
  }
  return {
      {"ReplacesAValue", "[S]\r\nK=V\r\n", {{"S", "K", "W"}}, {{"S", "K", "W"}}},
      {"FindsTheKeyWhateverItsCase", "[S]\r\nK=V\r\n", {{"s", "k", "W"}}, {{"S", "K", "W"}}},
      {"AddsAKeyToItsSection",
       twoSections,
       {{"S", "J", "W"}},
       {{"S", "J", "W"}, {"S", "K", "V"}, {"T", "A", "1"}, {"T", "J", kDef}}},
      {"AddsAMissingSection",
       twoSections,
       {{"U", "J", "W"}},
       {{"U", "J", "W"}, {"S", "K", "V"}, {"T", "A", "1"}}},
      {"CreatesAMissingFile", nullptr, {{"S", "K", "W"}}, {{"S", "K", "W"}}},
      {"FillsAnEmptyFile", "", {{"S", "K", "W"}}, {{"S", "K", "W"}}},
      {"StoresAnEmptyValue", "[S]\r\nK=V\r\n", {{"S", "K", ""}}, {{"S", "K", ""}}},
      {"StoresAnEmptyValueInANewSection", "[S]\r\n", {{"T", "K", ""}}, {{"T", "K", ""}}},
      {"BlanksAroundAWrittenValueAreNotReadBack",
       "[S]\r\nK=V\r\n",
       {{"S", "K", " spaced "}},
       {{"S", "K", "spaced"}}},
      {"QuotesAroundAWrittenValueAreNotReadBack",
       "[S]\r\nK=V\r\n",
       {{"S", "K", "\"q\""}},
       {{"S", "K", "q"}}},
      {"SemicolonAndEqualsInAValue",
       "[S]\r\nK=V\r\n",
       {{"S", "K", "a=b ;c"}},
       {{"S", "K", "a=b ;c"}}},
      {"GivesAKeyWithoutEqualsItsValue", "[S]\r\nK\r\n", {{"S", "K", "W"}}, {{"S", "K", "W"}}},
      {"WritesTheFirstOfTwoSections",
       "[S]\r\nK=1\r\n[S]\r\nK=2\r\n",
       {{"S", "K", "W"}},
       {{"S", "K", "W"}}},
      {"AddsToTheFirstSectionOfAName",
       "[S]\r\nA=1\r\n[s]\r\nK=2\r\n",
       {{"S", "K", "W"}},
       {{"S", "K", "W"}, {"S", "A", "1"}}},
      {"WritesTheFirstOfTwoKeys", "[S]\r\nK=1\r\nK=2\r\n", {{"S", "K", "W"}}, {{"S", "K", "W"}}},
      {"LeavesACommentedKeyAlone",
       "[S]\r\n;K=V\r\n",
       {{"S", "K", "W"}},
       {{"S", "K", "W"}, {"S", ";K", "V"}}},
      {"WritesAFileWithLfLineEnds",
       "[S]\nK=V\n;c\nJ=1\n",
       {{"S", "K", "W"}, {"S", "L", "2"}},
       {{"S", "K", "W"}, {"S", "J", "1"}, {"S", "L", "2"}}},
      {"WritesAFileWithoutAFinalLineEnd",
       "[S]\r\nK=V",
       {{"S", "J", "W"}},
       {{"S", "J", "W"}, {"S", "K", "V"}}},
      {"AddsASectionToAFileWithoutAFinalLineEnd",
       "[S]\r\nK=V",
       {{"T", "J", "W"}},
       {{"T", "J", "W"}, {"S", "K", "V"}}},
      {"LeavesTheSameKeyOfAnotherSection",
       "[T]\r\nK=t\r\n[S]\r\nA=1\r\n",
       {{"S", "K", "W"}},
       {{"S", "K", "W"}, {"T", "K", "t"}, {"S", "A", "1"}}},
      {"LongValueIsReadBackCut",
       "[S]\r\n",
       {{"S", "K", Repeat('z', 3000)}},
       {{"S", "K", Repeat('z', 2047)}}},
      {"WritesTheSameValueTwice",
       "[S]\r\nK=V\r\n",
       {{"S", "K", "W"}, {"S", "K", "W"}},
       {{"S", "K", "W"}}},
      {"KeysWrittenInTurn", "[CAR]\r\nCAR01=Old\r\n", carWrites, carReads},
  };
}

class IniWrite : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(IniWrite, IsReadBackAsTheWindowsReaderDoes) {
  const TWriteCase& c = GetParam();
  TTempDir dir;
  std::string path = dir.File("t.ini");
  if (c.File != nullptr) WriteFileBytes(path, c.File);
  TIniFile ini(path);
  for (const TWrite& w : c.Writes) ini.WriteValue(w.Section, w.Key, w.Value);
  TIniFile reader(path);
  for (const TRead& r : c.Reads)
    EXPECT_EQ(reader.ReadValue(r.Section, r.Key, kDef), r.Expected) << r.Section << "/" << r.Key;
}

INSTANTIATE_TEST_SUITE_P(Vectors, IniWrite, ::testing::ValuesIn(WriteCases()),
                         [](const ::testing::TestParamInfo<TWriteCase>& info) {
                           return std::string(info.param.Name);
                         });

TEST(IniFile, MissingFileGivesTheDefault) {
  TTempDir dir;
  TIniFile ini(dir.File("none.ini"));
  EXPECT_EQ(ini.ReadValue("S", "K", "fallback"), "fallback");
  EXPECT_FALSE(FileExists(dir.File("none.ini")));
}

TEST(IniFile, DirectoryInPlaceOfTheFileGivesTheDefault) {
  TTempDir dir;
  std::filesystem::create_directory(dir.File("t.ini"));
  EXPECT_EQ(TIniFile(dir.File("t.ini")).ReadValue("S", "K", "fallback"), "fallback");
}

TEST(IniFile, RelativePathIsTakenFromTheWorkingDirectory) {
  TTempDir dir;
  WriteFileBytes(dir.File("Brennak.ini"), "[S]\r\nK=V\r\n");
  TWorkingDirectory here(dir.Path());
  TIniFile ini("./Brennak.ini");
  EXPECT_EQ(ini.ReadValue("S", "K", kDef), "V");
  ini.WriteValue("S", "J", "W");
  EXPECT_EQ(TIniFile(dir.File("Brennak.ini")).ReadValue("S", "J", kDef), "W");
  EXPECT_NE(ReadFileBytes(dir.File("Brennak.ini")).find("J=W"), std::string::npos);
}

TEST(IniFile, WriteIntoAMissingFolderFailsWithThePathAsPassed) {
  TTempDir dir;
  TWorkingDirectory here(dir.Path());
  TIniFile ini("./missing/Brennak.ini");
  try {
    ini.WriteValue("S", "K", "W");
    FAIL() << "the write did not fail";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to ./missing/Brennak.ini");
  }
  EXPECT_FALSE(FileExists(dir.File("missing/Brennak.ini")));
}

TEST(IniFile, WriteOverADirectoryFailsAndLeavesIt) {
  TTempDir dir;
  std::filesystem::create_directory(dir.File("t.ini"));
  TIniFile ini(dir.File("t.ini"));
  EXPECT_THROW(ini.WriteValue("S", "K", "W"), EIniFileException);
  EXPECT_FALSE(FileExists(dir.File("t.ini")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("t.ini")));
}

// A line break in a value would add lines of its own to the game server's
// configuration; such a write is refused and the file stays as it was.
TEST(IniFile, LineBreaksAndNulCannotBeWritten) {
  TTempDir dir;
  std::string path = dir.File("t.ini");
  const std::string before = "[S]\r\nK=V\r\n";
  WriteFileBytes(path, before);
  TIniFile ini(path);
  const std::vector<TWrite> refused = {{"S", "K", "a\r\nX=1"}, {"S", "K", "a\nX=1"},
                                       {"S", "K", "a\rX=1"},   {"S", "K", std::string("a\0b", 3)},
                                       {"S", "K\r\nX", "1"},   {"S]\r\n[T", "K", "1"}};
  for (const TWrite& w : refused) {
    try {
      ini.WriteValue(w.Section, w.Key, w.Value);
      ADD_FAILURE() << "written: " << w.Value;
    } catch (const EIniFileException& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
  }
  EXPECT_EQ(ReadFileBytes(path), before);
}

}  // namespace
