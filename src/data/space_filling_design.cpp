#include "data/space_filling_design.h"

#include <cstdio>
#include <cstring>

#include "base/interpreter.h"
#include "base/messages.h"
#include "data/matrix_writer.h"
#include "data/model_matrices.h"
#include "data/model_store.h"
#include "data/named_matrices.h"
#include "numeric/space_filling.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

bool is_design_matrix(const char* target) { return strcmp(target, "X") == 0; }

// The box from the file, or a copy of the XDescription held. False after
// saying why when there is none.
bool take_box(const KrigModel* m0, const char* box_file, XBox* box) {
  if (box_file != nullptr) return read_x_box(box_file, box) == 0;
  if (!m0->init.X || !m0->init.range) {
    say("Sorry, command ignored. Design needs the box of the x variables: read an "
        "XDescription first, or name its file (Design n < xdescription.mat > X).\n");
    return false;
  }
  box->d = m0->d[0];
  alloc_string_vector(box->d, &box->names);
  alloc_real_matrix(box->d, 2, &box->range);
  copy_string_vector(box->d, m0->xlabels, box->names);
  copy_real_matrix(box->d, 2, m0->range, box->range);
  return true;
}

// Every variable needs room to vary: Min < Max.
bool box_is_open(const XBox& box) {
  for (int j = 0; j < box.d; j++) {
    if (box.range[j][0] < box.range[j][1]) continue;
    fprintf(out_stream(),
            "Sorry, command ignored. Design needs Min < Max for every x variable; %s has Min "
            "%g and Max %g.\n",
            box.names[j], box.range[j][0], box.range[j][1]);
    return false;
  }
  return true;
}

void scale_into_box(int n, const XBox& box, double** points) {
  for (int i = 0; i < n; i++)
    for (int j = 0; j < box.d; j++) {
      const double lo = box.range[j][0], hi = box.range[j][1];
      points[i][j] = lo + points[i][j] * (hi - lo);
    }
}

void put_design(KrigModel** models, KrigArray* ka, int n, const XBox& box, bool box_from_file,
                double** points, const char* target) {
  const int d = box.d;
  if (is_design_matrix(target)) {
    set_design(*models, ka, points, box.names, n, d);
    if (box_from_file) set_ranges(*models, ka, box.range);
    fprintf(out_stream(), "X holds the design: %d runs of %d x variables, no y yet.\n", n, d);
  } else if (is_screen(target)) {
    print_string_vector(d, box.names, "Labels:");
    print_real_matrix(n, d, points, "Design:", false);
  } else {
    writemat(n, d, points, target, box.names, nullptr, "X Matrix", 'w', false);
  }
}

}  // namespace

void make_space_filling_design(KrigModel** models, KrigArray* ka, int n, const char* box_file,
                               const char* target) {
  if (is_matrix_command_word(target) && !is_design_matrix(target)) {
    fprintf(out_stream(), "Sorry, command ignored. A design can set X, not %s.\n", target);
    return;
  }
  XBox box;
  if (!take_box(&(*models)[0], box_file, &box)) return;
  if (!box_is_open(box)) {
    release_x_box(&box);
    return;
  }
  double** points = nullptr;
  alloc_real_matrix(n, box.d, &points);
  maximin_latin_hypercube(n, box.d, design_stream(), points);
  fprintf(out_stream(),
          "Design: maximin Latin hypercube of %d points in %d x variables; smallest distance "
          "between two points %.4f (in the box scaled to the unit cube).\n",
          n, box.d, smallest_point_distance(n, box.d, points));
  scale_into_box(n, box, points);
  put_design(models, ka, n, box, box_file != nullptr, points, target);
  free_real_matrix(n, box.d, &points);
  release_x_box(&box);
}
