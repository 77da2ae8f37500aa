#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/interpreter.h"
#include "base/tokenizer.h"
#include "fatal_test_support.h"

namespace {

// Tokenizes a line into fresh storage, capturing what the tokenizer prints.
struct Tokenized {
  int status;
  std::vector<std::string> tokens;
  std::string printed;
};

Tokenized run_tokenizer(const char* line, int capacity = 10, int width = 150) {
  std::vector<std::vector<char>> rows(capacity, std::vector<char>(width, 'x'));
  std::vector<char*> ptrs;
  for (auto& r : rows) ptrs.push_back(r.data());
  FILE* capture = tmpfile();
  FILE* saved = g_interp.out;
  g_interp.out = capture;
  int count = capacity;
  Tokenized result;
  result.status = tokenize(line, &count, width, ptrs.data());
  g_interp.out = saved;
  rewind(capture);
  int c;
  while ((c = fgetc(capture)) != EOF) result.printed += static_cast<char>(c);
  fclose(capture);
  if (result.status == 0)
    for (int i = 0; i < count; i++) result.tokens.push_back(ptrs[i]);
  return result;
}

using Tokens = std::vector<std::string>;

const char* const kSeparatorMessage =
    "Unexpected input: \n\t(1)Input Line should not start with seperator or\n\t(2) Two "
    "seperators should not appear in sequence.\n";

TEST(Tokenizer, SeparatorsAreTokensWithOrWithoutBlanks) {
  EXPECT_EQ(run_tokenizer("X<file").tokens, (Tokens{"X", "<", "file"}));
  EXPECT_EQ(run_tokenizer("X < file\n").tokens, (Tokens{"X", "<", "file"}));
  EXPECT_EQ(run_tokenizer("\tX\t<\tfile\t\n").tokens, (Tokens{"X", "<", "file"}));
  EXPECT_EQ(run_tokenizer("Tries=3").tokens, (Tokens{"Tries", "=", "3"}));
  EXPECT_EQ(run_tokenizer("Predict < a > b").tokens, (Tokens{"Predict", "<", "a", ">", "b"}));
}

TEST(Tokenizer, BlankCommentAndEmptyLinesHaveNoTokens) {
  for (const char* line : {"", "\n", "    \t  \n", "# only a comment\n", "   # indented\n"}) {
    Tokenized t = run_tokenizer(line);
    EXPECT_EQ(t.status, 0) << line;
    EXPECT_TRUE(t.tokens.empty()) << line;
    EXPECT_EQ(t.printed, "") << line;
  }
}

TEST(Tokenizer, CommentEndsTheLineAndAWord) {
  EXPECT_EQ(run_tokenizer("X < # the design\n").tokens, (Tokens{"X", "<"}));
  EXPECT_EQ(run_tokenizer("abc#def").tokens, (Tokens{"abc"}));
  EXPECT_EQ(run_tokenizer("Fit # now\n").tokens, (Tokens{"Fit"}));
}

TEST(Tokenizer, SeparatorAtEndOfLineIsAValidLastToken) {
  EXPECT_EQ(run_tokenizer("Tries =\n").tokens, (Tokens{"Tries", "="}));
}

TEST(Tokenizer, MisplacedSeparatorsAreRejected) {
  for (const char* line : {"= 3", "  < file", "X < > file", "X <> file", "a = = b", ">"}) {
    Tokenized t = run_tokenizer(line);
    EXPECT_EQ(t.status, 1) << line;
    EXPECT_EQ(t.printed, kSeparatorMessage) << line;
  }
}

TEST(Tokenizer, NineTokensFitTenDoNot) {
  Tokenized nine = run_tokenizer("a b c d e f g h i\n");
  EXPECT_EQ(nine.status, 0);
  EXPECT_EQ(nine.tokens.size(), 9u);

  Tokenized ten = run_tokenizer("a b c d e f g h i j\n");
  EXPECT_EQ(ten.status, 2);
  EXPECT_EQ(ten.printed, "More Tokens in line than code can handle\n");

  // Separators count as tokens, and the check fires even when nothing follows.
  Tokenized ten_with_separator = run_tokenizer("a b c d e f g h i =");
  EXPECT_EQ(ten_with_separator.status, 2);
}

TEST(Tokenizer, CarriageReturnIsPartOfAWord) {
  EXPECT_EQ(run_tokenizer("Fit\r\n").tokens, (Tokens{"Fit\r"}));
  EXPECT_EQ(run_tokenizer("a\x01" "b c").tokens, (Tokens{"a\x01" "b", "c"}));
}

TEST(Tokenizer, WordOf148CharactersFitsInWidth150) {
  std::string word(148, 'w');
  Tokenized t = run_tokenizer(word.c_str());
  ASSERT_EQ(t.status, 0);
  EXPECT_EQ(t.tokens, (Tokens{word}));
}

TEST(TokenizerDeathTest, WordReachingWidthMinusOneIsFatal) {
  std::string word(149, 'w');
  EXPECT_FATAL_EXIT(
      run_tokenizer(word.c_str()), ::testing::ExitedWithCode(1),
      "DORVE ERROR\\.\\.\\. \ntokenize: attempt to write over max length of a token \n"
      "Now exiting to system \\.\\.\\. \n ");
}

}  // namespace
