// The free-format reading of numbered lines: separators, reads continued over lines,
// surplus values, repeat factors, values left unchanged, slashes and text values.

#include "input/free_format_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <vector>

#include "input/run_error.h"

namespace survseq::input {
namespace {

// Each read of `counts` on `text`, into reals that start at -1 so that a value left
// unchanged shows.
std::vector<std::vector<float>> readAll(const std::string& text, std::vector<size_t> counts) {
  std::istringstream in(text);
  FreeFormatReader reader(in);
  std::vector<std::vector<float>> reads;
  for (size_t count : counts) {
    std::vector<float> values(count, -1.0f);
    reader.readReals(values);
    reads.push_back(values);
  }
  return reads;
}

using Reads = std::vector<std::vector<float>>;

TEST(Separators, BlanksTabsAndCommas) {
  EXPECT_EQ(readAll("1 2\t3,4 , 5 ,6\t,  7", {7}), (Reads{{1, 2, 3, 4, 5, 6, 7}}));
}

TEST(ContinuedReads, ShortLinesContinueAndEmptyLinesCountAsBlanks) {
  std::istringstream in("1 2\n\n  \n3\n4\n");
  FreeFormatReader reader(in);
  std::array<float, 3> values{};
  reader.readReals(values);
  EXPECT_EQ(values, (std::array<float, 3>{1, 2, 3}));
  EXPECT_EQ(reader.lineNumber(), 4);
  EXPECT_EQ(reader.readsDone(), 1);
  reader.skipLine();
  EXPECT_EQ(reader.lineNumber(), 5);
  EXPECT_EQ(reader.readsDone(), 2);
}

TEST(ContinuedReads, EachReadStartsOnANewLineAndDropsTheRest) {
  EXPECT_EQ(readAll("1 2 3\n4 5\n6", {1, 1, 1}), (Reads{{1}, {4}, {6}}));
  // A read that ends exactly at a line end still leaves that line behind.
  EXPECT_EQ(readAll("1\n2\n", {1, 1}), (Reads{{1}, {2}}));
}

TEST(ContinuedReads, ReadOfNothingSkipsALine) {
  EXPECT_EQ(readAll("junk\n2", {0, 1}), (Reads{{}, {2}}));
}

TEST(ContinuedReads, CarriageReturnLineEndsReadAlike) {
  EXPECT_EQ(readAll("1 2\r\n3\r\n", {2, 1}), (Reads{{1, 2}, {3}}));
}

TEST(RepeatFactors, CopiesAndUnchangedValues) {
  EXPECT_EQ(readAll("3*7 2", {4}), (Reads{{7, 7, 7, 2}}));
  EXPECT_EQ(readAll("2* 5", {3}), (Reads{{-1, -1, 5}}));
  EXPECT_EQ(readAll("2*,5", {3}), (Reads{{-1, -1, 5}}));
  // Copies beyond the values needed are dropped with the rest of the line.
  EXPECT_EQ(readAll("5*1\n2", {2, 1}), (Reads{{1, 1}, {2}}));
  EXPECT_EQ(readAll("2147483647*3", {2}), (Reads{{3, 3}}));
}

TEST(RepeatFactors, MustBePositive) {
  for (const char* text : {"0*5", "99999999999*5"}) {
    std::istringstream in(text);
    FreeFormatReader reader(in);
    std::array<float, 1> value{};
    try {
      reader.readReals(value);
      ADD_FAILURE() << text;
    } catch (const RunError& error) {
      EXPECT_EQ(error.what(),
                "the repeat factor in '" + std::string(text) + "' must be a positive whole number");
      EXPECT_EQ(error.line(), 1);
    }
  }
}

TEST(UnchangedValues, CommasWithNothingBetween) {
  EXPECT_EQ(readAll(",2", {2}), (Reads{{-1, 2}}));
  EXPECT_EQ(readAll("1,,3", {3}), (Reads{{1, -1, 3}}));
  EXPECT_EQ(readAll("1, ,3", {3}), (Reads{{1, -1, 3}}));
  EXPECT_EQ(readAll(",,,", {3}), (Reads{{-1, -1, -1}}));
  EXPECT_EQ(readAll(",,\n4", {3}), (Reads{{-1, -1, 4}}));
  // A comma ending a line separates; a line end before a comma is only a blank.
  EXPECT_EQ(readAll("1,\n,3", {3}), (Reads{{1, -1, 3}}));
  EXPECT_EQ(readAll("1\n,3", {2}), (Reads{{1, 3}}));
}

TEST(UnchangedValues, ASlashEndsTheRead) {
  EXPECT_EQ(readAll("1 / 2\n3", {3, 1}), (Reads{{1, -1, -1}, {3}}));
  EXPECT_EQ(readAll("1/2", {2}), (Reads{{1, -1}}));
  EXPECT_EQ(readAll("1\n\n/\n4", {3, 1}), (Reads{{1, -1, -1}, {4}}));
}

std::string readOneText(const std::string& text) {
  std::istringstream in(text);
  FreeFormatReader reader(in);
  std::string value = "unchanged";
  reader.readText(value);
  return value;
}

TEST(TextValues, QuotedOrBare) {
  EXPECT_EQ(readOneText("  'my file.out'  rest"), "my file.out");
  EXPECT_EQ(readOneText("\"a, b/c\""), "a, b/c");
  EXPECT_EQ(readOneText("'it''s'"), "it's");
  EXPECT_EQ(readOneText("\"say \"\"hi\"\"\""), "say \"hi\"");
  EXPECT_EQ(readOneText("bare.out rest"), "bare.out");
  EXPECT_EQ(readOneText("bare.out,rest"), "bare.out");
  EXPECT_EQ(readOneText("dir/name"), "dir");
  EXPECT_EQ(readOneText("it's"), "it's");
  EXPECT_EQ(readOneText("\n2*'twice'"), "twice");
  EXPECT_EQ(readOneText("/"), "unchanged");
  EXPECT_EQ(readOneText(","), "unchanged");
}

TEST(TextValues, AMissingClosingQuoteIsRefused) {
  for (const auto& [text, quote] :
       {std::pair{"'open", "apostrophe"}, std::pair{"\"open'", "quotation mark"}}) {
    try {
      readOneText(std::string("\n") + text);
      ADD_FAILURE() << text;
    } catch (const RunError& error) {
      EXPECT_EQ(error.what(), "the quoted text has no closing " + std::string(quote));
      EXPECT_EQ(error.line(), 2);
    }
  }
}

TEST(Numbers, QuotesAreNotNumbers) {
  std::istringstream in("'5'");
  FreeFormatReader reader(in);
  std::array<int32_t, 1> value{};
  EXPECT_THROW(reader.readWholeNumbers(value), RunError);
}

TEST(Numbers, ABadValueNamesItsOwnLine) {
  std::istringstream in("1\n\n2 x");
  FreeFormatReader reader(in);
  std::array<int32_t, 3> values{};
  try {
    reader.readWholeNumbers(values);
    ADD_FAILURE();
  } catch (const RunError& error) {
    EXPECT_EQ(error.line(), 3);
    EXPECT_STREQ(error.what(), "expected a whole number, found 'x'");
  }
}

}  // namespace
}  // namespace survseq::input
