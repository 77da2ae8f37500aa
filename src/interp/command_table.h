// The command table: the first token of a line selects one row, and the
// row's handler receives the whole token list.
#ifndef DORVE_INTERP_COMMAND_TABLE_H_
#define DORVE_INTERP_COMMAND_TABLE_H_

struct KrigModel;
struct KrigArray;

// What every handler can reach: the models' array (by address, since reading
// y may move it) and the KrigArray.
struct Session {
  KrigModel** models = nullptr;
  KrigArray* ka = nullptr;
};

typedef void (*CommandHandler)(Session& session, char** tokens, int count);

// A row names its first tokens itself, or asks the code that keeps the word
// list of a command family (the options, the named matrices).
struct CommandRow {
  const char* const* names;           // accepted first tokens, null-terminated; or null
  bool (*accepts)(const char* word);  // when names is null
  CommandHandler handler;             // null for the quit commands
};

// The row whose names hold first_token exactly, or null.
const CommandRow* find_command(const char* first_token);

#endif  // DORVE_INTERP_COMMAND_TABLE_H_
