// The objective run on several exchange files at once: the slot files'
// names, the command line of each slot, running the commands together, and
// reading a slot's answer without ending the run.
#include <cstring>
#include <filesystem>
#include <string>

#include "seqmin/exchange_file.h"
#include "seqmin/objective_processes.h"
#include "seqmin_test_support.h"

using namespace seqmin_test;

TEST(ObjectiveProcesses, SlotCommandNamesItsOwnFile) {
  char file[kSlotFileNameSize];
  slot_file_name(3, file, sizeof file);
  EXPECT_STREQ(file, "dorve.temp.3");
  char line[200];
  ASSERT_TRUE(slot_command_line("./sim", false, "dorve.temp.2", line, sizeof line));
  EXPECT_STREQ(line, "./sim dorve.temp.2");
  // Every word dorve.temp of a command is the slot's file, and only whole words.
  ASSERT_TRUE(slot_command_line("srun   -n1   ./sim   dorve.temp   ", true, "dorve.temp.2", line,
                                sizeof line));
  EXPECT_STREQ(line, "srun   -n1   ./sim   dorve.temp.2   ");
  ASSERT_TRUE(slot_command_line("sim\tdorve.temp   dorve.temp.y   dorve.temp", true,
                                "dorve.temp.12", line, sizeof line));
  EXPECT_STREQ(line, "sim\tdorve.temp.12   dorve.temp.y   dorve.temp.12");
  EXPECT_TRUE(names_exchange_file("sh   run.sh   dorve.temp   "));
  EXPECT_FALSE(names_exchange_file("sh   run.sh   dorve.temp.y   mydorve.temp"));
  EXPECT_FALSE(names_exchange_file(""));
}

TEST(ObjectiveProcesses, SlotCommandThatDoesNotFitIsRefusedNotCut) {
  char line[24];
  memset(line, 'Z', sizeof line);
  // "run   dorve.temp.1" is 18 characters: it fits in 19, not in 18.
  EXPECT_TRUE(slot_command_line("run   dorve.temp", true, "dorve.temp.1", line, 19));
  EXPECT_STREQ(line, "run   dorve.temp.1");
  memset(line, 'Z', sizeof line);
  EXPECT_FALSE(slot_command_line("run   dorve.temp", true, "dorve.temp.1", line, 18));
  EXPECT_STREQ(line, "");
  EXPECT_EQ(line[17], 'Z');
  EXPECT_FALSE(slot_command_line("./simulator", false, "dorve.temp.10", line, 24));
  EXPECT_STREQ(line, "");
  // The longest objective text a setting holds, naming the file in every
  // word it can, still fits the room the loop gives a slot's command.
  std::string longest;
  while (longest.size() + 13 < kObjectiveTextSize) longest += "dorve.temp   ";
  char full[2 * kObjectiveTextSize];
  EXPECT_TRUE(slot_command_line(longest.c_str(), true, "dorve.temp.10000", full, sizeof full));
}

// Each command waits for the other's mark before leaving its own result, so
// both finish only when they run at the same time (each gives up after about
// ten seconds, leaving no result). Neither reads the program's standard input.
TEST(ObjectiveProcesses, CommandsRunAtOnceWithoutTheProgramsInput) {
  ScratchDir dir;
  const char* first =
      "touch mark.1; i=0; while [ ! -f mark.2 ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); "
      "done; [ -f mark.2 ] && cat > result.1";
  const char* second =
      "touch mark.2; i=0; while [ ! -f mark.1 ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); "
      "done; [ -f mark.1 ] && echo done > result.2";
  const char* commands[] = {first, second};
  CommandOutcome ends[2];
  run_commands_at_once(2, commands, ends, 0);
  EXPECT_TRUE(ends[0].started);
  EXPECT_TRUE(ends[1].started);
  ASSERT_TRUE(std::filesystem::exists("result.1"));
  EXPECT_EQ(read_file("result.1"), "");
  EXPECT_EQ(read_file("result.2"), "done\n");
}

// Each way a call can fail its evaluation is told apart and named, and a
// call past the time limit is stopped with everything it started, while a
// call that ends in time with status 0 passes.
TEST(ObjectiveProcesses, FailedCallsAreNamedAndOverrunningOnesStopped) {
  ScratchDir dir;
  const char* commands[] = {"exit 3", "kill -SEGV $$",
                            "exec 2>/dev/null; sh -c 'kill -SEGV $$'; exit $?",
                            "sleep 30 & sleep 30; touch late", "true"};
  CommandOutcome ends[5];
  run_commands_at_once(5, commands, ends, 1);
  const char* expected[] = {
      "The objective command for dorve.temp.1 exited with status 3.",
      "The objective command for dorve.temp.2 was ended by signal 11 (Segmentation fault).",
      "The objective command for dorve.temp.3 exited with status 139 (the shell's report of "
      "signal 11, Segmentation fault).",
      "The objective command for dorve.temp.4 ran longer than ObjectiveTimeout (1 s) and was "
      "stopped."};
  char message[400];
  for (int i = 0; i < 4; i++) {
    char file[kSlotFileNameSize];
    slot_file_name(i + 1, file, sizeof file);
    EXPECT_TRUE(command_failed(ends[i], file, 1, message, sizeof message)) << i;
    EXPECT_STREQ(message, expected[i]);
  }
  EXPECT_FALSE(command_failed(ends[4], "dorve.temp.5", 1, message, sizeof message));
  EXPECT_FALSE(std::filesystem::exists("late"));
  // The shell's code for a command it did not find, and a command never started.
  EXPECT_TRUE(command_failed(outcome_of_system(127 << 8), "dorve.temp", 0, message, 400));
  EXPECT_STREQ(message,
               "The objective command for dorve.temp exited with status 127 (the shell did not "
               "find the command).");
  EXPECT_TRUE(command_failed(outcome_of_system(-1), "dorve.temp", 0, message, 400));
  EXPECT_STREQ(message, "sample_new_y: Can't run the objective command. ");
}

TEST(ObjectiveProcesses, UnreadableSlotAnswerIsReportedWithItsFileName) {
  ScratchDir dir;
  double y[2] = {0.0, 0.0};
  char message[400];
  write_file("dorve.temp.2", "2  0.5  1.25  3.7 ");
  EXPECT_FALSE(read_exchange_file_named("dorve.temp.2", 2, 2, y, message, sizeof message));
  EXPECT_NE(strstr(message, "(2) Not enough values in  dorve.temp.2 for reading."), nullptr);
  EXPECT_FALSE(read_exchange_file_named("dorve.temp.3", 2, 1, y, message, sizeof message));
  EXPECT_STREQ(message, "sample_new_y: Can't open  dorve.temp.3 for reading. ");
  write_file("dorve.temp.2", "2  0.5  1.25  3.7 NA");
  EXPECT_TRUE(read_exchange_file_named("dorve.temp.2", 2, 2, y, message, sizeof message));
  EXPECT_EQ(y[0], 3.7);
  EXPECT_EQ(y[1], kNaMarker);
}
