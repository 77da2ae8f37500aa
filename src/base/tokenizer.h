// Splits one command line into tokens.
#ifndef DORVE_BASE_TOKENIZER_H_
#define DORVE_BASE_TOKENIZER_H_

// Blanks and tabs separate words; '<', '>' and '=' are tokens of their own;
// '#' and newline end the line. On entry *count holds the capacity of tokens
// (rows of width characters); on success it holds the number of tokens.
// Returns 0 on success, 1 for a misplaced separator, 2 for too many tokens
// (both after printing a message; *count is then unchanged). A word that
// reaches width - 1 characters is a fatal error.
int tokenize(const char* line, int* count, int width, char** tokens);

// The length of the longest word of the line, counted as tokenize counts
// it (blanks, tabs and '<', '>', '=' separate words; '#' and newline end the
// line), so a caller can refuse a line before tokenize meets a word too long
// for its width.
int longest_word(const char* line);

#endif  // DORVE_BASE_TOKENIZER_H_
