#include "interp/command_line.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/progress.h"

namespace {

void print_usage(FILE* f) {
  fprintf(f,
          "Usage: dorve [--strict] [--progress | --quiet] [inputfile [outputfile]]\n"
          "       dorve --help | --version\n");
}

void print_command_line_help(FILE* f) {
  print_usage(f);
  fprintf(f,
          "\n"
          "Kriging surrogates and sequential minimisation of expensive computer\n"
          "experiments, driven by a line-oriented command language.\n"
          "\n"
          "  dorve                       read commands from standard input (interactive,\n"
          "                              prompt \"dorve> \")\n"
          "  dorve inputfile             read commands from inputfile, print the transcript\n"
          "                              on standard output\n"
          "  dorve inputfile outputfile  read commands from inputfile, write the transcript\n"
          "                              to outputfile\n"
          "\n"
          "Options:\n"
          "  --strict    end the run at the first refused command or failed step,\n"
          "              with exit status 3 (without it a run goes on, and ends with 0)\n"
          "  --progress  show how far long commands (Fit, CrossValidate, Evaluate,\n"
          "              Minimize, MinimizeStage) have come on a line of standard\n"
          "              error, even when it is not a terminal\n"
          "  --quiet     no such line (by default it is shown when standard error\n"
          "              is a terminal)\n"
          "  --help      print this help and exit\n"
          "  --version   print the version and exit\n"
          "\n"
          "Name a command file that begins with \"--\" as ./--name.\n"
          "Type Info at the prompt for the list of commands and options.\n"
          "The user guide is docs/guide.md in the source tree; see also man dorve.\n");
}

// "dorve 1.4": the version number without the banner's trailing zeros.
void print_version(FILE* f) { fprintf(f, "dorve %g\n", kDorveVersion); }

// Options print to a stream the run has not yet touched; a failed write
// (a full disk, a closed pipe) must not end with status 0.
int finish_option_output(FILE* out, FILE* err) {
  if (fflush(out) != 0 || ferror(out)) {
    fprintf(err, "dorve: cannot write to standard output\n");
    return 1;
  }
  return 0;
}

// A folder opens like a file but reads as nothing: refuse it as unopenable.
FILE* open_command_file(const char* name) {
  FILE* f = fopen(name, "r");
  struct stat st;
  if (f != nullptr && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
    fclose(f);
    return nullptr;
  }
  return f;
}

// Takes the leading display flags out of the arguments and sets the
// progress display by the last one.
void take_display_flags(int* argc, char** argv) {
  int flags = 0;
  while (1 + flags < *argc) {
    const char* arg = argv[1 + flags];
    if (strcmp(arg, "--progress") == 0)
      set_progress_mode(ProgressMode::kOn);
    else if (strcmp(arg, "--quiet") == 0)
      set_progress_mode(ProgressMode::kOff);
    else
      break;
    flags++;
  }
  if (flags == 0) return;
  for (int i = 1; i + flags <= *argc; i++) argv[i] = argv[i + flags];
  *argc -= flags;
}

}  // namespace

bool take_strict_flag(int* argc, char** argv) {
  // --strict may stand anywhere among the leading flags.
  for (int i = 1; i < *argc; i++) {
    if (strcmp(argv[i], "--strict") == 0) {
      for (int j = i; j + 1 <= *argc; j++) argv[j] = argv[j + 1];
      (*argc)--;
      return true;
    }
    if (strcmp(argv[i], "--progress") != 0 && strcmp(argv[i], "--quiet") != 0) return false;
  }
  return false;
}

int handle_command_line_options(int* argc_in, char** argv, FILE* out, FILE* err) {
  take_display_flags(argc_in, argv);
  const int argc = *argc_in;
  if (argc < 2 || strncmp(argv[1], "--", 2) != 0) return -1;
  if (argc == 2 && strcmp(argv[1], "--help") == 0) {
    print_command_line_help(out);
    return finish_option_output(out, err);
  }
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    print_version(out);
    return finish_option_output(out, err);
  }
  if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "--version") == 0) {
    fprintf(err, "dorve: %s takes no further arguments\n", argv[1]);
  } else {
    fprintf(err, "dorve: unknown option '%s'\n", argv[1]);
  }
  print_usage(err);
  fprintf(err, "Try 'dorve --help' for more information.\n");
  return 2;
}

void unbuffer_output(FILE* f) { setvbuf(f, nullptr, _IONBF, 0); }

namespace {

// The output file named on the command line (empty: standard output).
char g_output_name[256] = "";

// True when a write to f failed or its last data cannot be put out.
bool lost_output(FILE* f) {
  const bool failed = fflush(f) != 0 || ferror(f);
  return fclose(f) != 0 || failed;
}

}  // namespace

void open_streams(int argc, char** argv) {
  if (argc == 1) {
    g_interp.interactive = true;
    return;
  }
  if (argc > 3) {
    fprintf(g_interp.out, "Usage:  dorve <inputfile  outputfile> \n");
    exit(1);
  }
  g_interp.interactive = false;
  g_interp.cmd_file = open_command_file(argv[1]);
  if (g_interp.cmd_file == nullptr) {
    fprintf(stderr, "Sorry, cannot open %s\n", argv[1]);
    exit(1);
  }
  if (argc == 3) {
    FILE* out = fopen(argv[2], "w");
    if (out == nullptr) fatal_error("Sorry, can't write to outputfile.");
    unbuffer_output(out);
    g_interp.out = out;
    snprintf(g_output_name, sizeof g_output_name, "%s", argv[2]);
  }
  fprintf(g_interp.out, "Reading commands from '%s'.\n", argv[1]);
  if (argc == 3) fprintf(g_interp.out, "Writing commands to '%s'.\n", argv[2]);
}

int close_streams() {
  const bool to_file = g_interp.out != nullptr && g_interp.out != stdout;
  bool lost = g_interp.out != nullptr && lost_output(g_interp.out);
  g_interp.out = nullptr;
  if (to_file && lost_output(stdout)) lost = true;
  if (g_interp.cmd_file != nullptr) fclose(g_interp.cmd_file);
  g_interp.cmd_file = nullptr;
  if (!lost) return 0;
  fprintf(stderr, "dorve: the transcript could not be written whole to %s: %s\n",
          to_file ? g_output_name : "standard output", strerror(errno != 0 ? errno : EIO));
  return 1;
}
