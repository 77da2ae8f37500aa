#include "data/dumps.h"

#include <cstdio>
#include <cstdlib>

#include "base/interpreter.h"
#include "base/messages.h"
#include "base/safe_files.h"
#include "data/named_matrices.h"

namespace {

struct DumpFile {
  const char* matrix;
  const char* error_file;
  const char* temp_file;
};

const DumpFile kDumpFiles[] = {
    {"X", "error_x.mat", "temp_x.mat"},
    {"y", "error_y.mat", "temp_y.mat"},
    {"RegressionModel", "error_beta.mat", "temp_beta.mat"},
    {"StochasticProcessModel", "error_corpar.mat", "temp_corpar.mat"},
    {"yDescription", "error_ydescrip.mat", "temp_ydescrip.mat"},
};

// Each output goes through the same path as "name > file", for this model
// alone; outputs whose data is missing are skipped with that path's message.
// Returns false when any file could not be written whole.
bool write_dump(KrigModel* kr, bool emergency) {
  KrigModel* single = kr;
  bool all_written = true;
  for (const DumpFile& f : kDumpFiles) {
    const char* file = emergency ? f.error_file : f.temp_file;
    // The dump names are fixed: whatever else stands at one is left alone.
    const FileKind kind = file_kind(file);
    if (kind != FileKind::kMissing && kind != FileKind::kRegular) {
      fprintf(emergency ? stderr : out_stream(),
              "ERROR: %s is %s, not a regular file: it is not written.\n", file,
              file_kind_words(kind));
      all_written = false;
      continue;
    }
    if (!menu_print(&single, nullptr, kWriteMatrix, f.matrix, file)) all_written = false;
  }
  return all_written;
}

}  // namespace

void emergency_dump(KrigModel* kr, const char* message) {
  fprintf(stderr, "Kobb's runtime errors ... \n");
  fprintf(stderr, "%s \n", message);
  fprintf(stderr, "Emergency output of X,y,RegressionModel,StochasticProcessModeland yDescription\n");
  write_dump(kr, true);
  fprintf(stderr, "Now exiting to system ... \n ");
  end_run_after_error(message, 1);
}

bool temp_dump(KrigModel* kr, const char*) {
  print_info("Output of matrices in temp files: \n\tX,y,RegressionModel,StochasticProcessModel,"
             "yDescription");
  return write_dump(kr, false);
}
