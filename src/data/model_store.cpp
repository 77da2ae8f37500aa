#include "data/model_store.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/messages.h"
#include "numeric/storage.h"
#include "numeric/vecutil.h"

namespace {

// A freshly allocated record: every field zero, then the members cleared.
void zero_KrigModel(KrigModel* kr) {
  memset(kr, 0, sizeof(KrigModel));
  clear_KrigModel(kr);
}

void set_yname(KrigModel* kr, const char* name) {
  snprintf(kr->yname, sizeof kr->yname, "%s", name);
}

// Resizes a real vector from old_n to new_n entries (allocating when it has none).
void resize_real_vector(int old_n, double** v, int new_n) {
  if (old_n == new_n && *v) return;
  if (old_n <= 0 || !*v) {
    *v = nullptr;
    alloc_real_vector(new_n, v);
  } else {
    morealloc(old_n, v, new_n);
  }
}

void resize_real_matrix(int old_rows, int old_cols, double*** m, int new_rows, int new_cols) {
  if (old_rows == new_rows && old_cols == new_cols && *m) return;
  if (old_rows <= 0 || old_cols <= 0 || !*m) {
    *m = nullptr;
    alloc_real_matrix(new_rows, new_cols, m);
  } else {
    realloc_real_matrix(old_rows, old_cols, m, new_rows, new_cols);
  }
}

void resize_string_vector(int old_n, StringSlot** v, int new_n) {
  if (old_n == new_n && *v) return;
  if (old_n <= 0 || !*v) {
    *v = nullptr;
    alloc_string_vector(new_n, v);
  } else {
    realloc_string_vector(old_n, v, new_n);
  }
}

void release_matrix(int rows, int cols, double*** m) {
  if (*m) free_real_matrix(rows, cols, m);
  *m = nullptr;
}

// R and augR hold n^2 numbers, F one block per observation: a tall design
// that is only read, shown or written never needs them.
void release_fit_storage(KrigModel* kr) {
  const int n = kr->alloc_n, r = kr->alloc_r;
  release_matrix(n, n, &kr->R);
  release_matrix(n + r, n + r, &kr->augR);
  release_matrix(n, r, &kr->F);
  if (kr->eigval) free_real_vector(n + r, &kr->eigval);
  if (kr->inveig) free_real_vector(n + r, &kr->inveig);
  kr->eigval = nullptr;
  kr->inveig = nullptr;
}

// Resizes the members sized by n and d, optionally leaving X and xlabels alone.
void resize_members(KrigModel* kr, int n, int d, bool with_design) {
  check_invariant(kr->n && kr->alloc_n > 0 && kr->alloc_d > 0 && kr->alloc_r > 0,
                  "Code Bug resize_KrigModel: model has no storage");
  check_invariant(n > 0 && d > 0, "Code Bug resize_KrigModel: n<=0 or d<=0");
  const int old_n = kr->alloc_n;
  const int old_d = kr->alloc_d;
  if (d != old_d) {
    resize_real_vector(old_d, &kr->alpha, d);
    resize_real_vector(old_d, &kr->theta, d);
    init_real_vec(0.0, d, kr->alpha);
    init_real_vec(0.0, d, kr->theta);
    resize_real_matrix(old_d, 2, &kr->range, d, 2);
    if (with_design) resize_string_vector(old_d, &kr->xlabels, d);
  }
  if (with_design) resize_real_matrix(old_n, old_d, &kr->X, n, d);
  if (n != old_n) {
    // The members that the fit and the predictor compute are made again, at
    // the new size, when next computed.
    release_fit_storage(kr);
    kr->init.R = 0;
    kr->init.F = 0;
    kr->init.U = 0;
    resize_real_vector(old_n, &kr->y, n);
  }
  kr->n[0] = n;
  kr->d[0] = d;
  kr->alloc_n = n;
  kr->alloc_d = d;
  forget_decomposition_key(kr);
}

template <typename T>
void release_vector(int n, T** v, void (*release)(int, T**)) {
  if (*v) release(n, v);
  *v = nullptr;
}

}  // namespace

void forget_decomposition_key(KrigModel* kr) {
  if (kr->ukey != nullptr) free_real_vector(kr->ukey_len, &kr->ukey);
  kr->ukey = nullptr;
  kr->ukey_len = 0;
}

// ---- Start-up ----

KrigModel* create_first_KrigModel() {
  KrigModel* models = static_cast<KrigModel*>(malloc(sizeof(KrigModel)));
  if (!models) fatal_error("main realloc KrigModel Failure");
  zero_KrigModel(models);
  return models;
}

KrigArray* create_KrigArray() {
  KrigArray* ka = static_cast<KrigArray*>(malloc(sizeof(KrigArray)));
  if (!ka) fatal_error("main realloc KrigArray Failure");
  return clear_KrigArray(ka);
}

void start_placeholder_store(KrigModel* models, KrigArray* ka) {
  default_KrigModel(&models[0], kPlaceholderN, kPlaceholderD, kPlaceholderR);
  clear_KrigArray(ka);
}

// ---- Records ----

KrigModel* clear_KrigModel(KrigModel* kr) {
  kr->n = nullptr;
  kr->d = nullptr;
  kr->r = nullptr;
  kr->sigma2 = nullptr;
  kr->stochratio = nullptr;
  kr->beta = nullptr;
  kr->alpha = nullptr;
  kr->theta = nullptr;
  kr->y = nullptr;
  kr->eigval = nullptr;
  kr->inveig = nullptr;
  kr->F = nullptr;
  kr->X = nullptr;
  kr->R = nullptr;
  kr->augR = nullptr;
  kr->range = nullptr;
  kr->xlabels = nullptr;
  kr->loglik = nullptr;
  kr->ukey = nullptr;
  kr->ukey_len = 0;
  kr->alloc_n = 0;
  kr->alloc_d = 0;
  kr->alloc_r = 0;
  return kr;
}

KrigArray* clear_KrigArray(KrigArray* ka) {
  ka->initialized = 0;
  ka->has_bounds = 0;
  ka->nresp = 0;
  ka->ncons = 0;
  ka->resp_index = nullptr;
  ka->cons_index = nullptr;
  ka->ydescrip = nullptr;
  return ka;
}

void default_KrigModel(KrigModel* kr, int n, int d, int r) {
  alloc_real_vector(d, &kr->alpha);
  alloc_real_vector(d, &kr->theta);
  alloc_real_vector(r, &kr->beta);
  alloc_real_vector(n, &kr->y);
  alloc_real_matrix(n, d, &kr->X);
  alloc_int_vector(1, &kr->d);
  alloc_int_vector(1, &kr->n);
  alloc_int_vector(1, &kr->r);
  alloc_real_vector(1, &kr->sigma2);
  alloc_real_vector(1, &kr->stochratio);
  alloc_real_vector(1, &kr->loglik);
  alloc_real_matrix(d, 2, &kr->range);
  alloc_string_vector(d, &kr->xlabels);
  kr->alloc_n = n;
  kr->alloc_d = d;
  kr->alloc_r = r;

  kr->init = KrigInit{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  kr->d[0] = d;
  kr->n[0] = n;
  kr->r[0] = r;
  kr->nfixed = 1;
  kr->y_dropped = 0;
  kr->fit_failure = kFitNotFailed;
  kr->stochratio[0] = 1.0;
  kr->loglik[0] = kNaMarker;
  set_yname(kr, "EMPTY");

  init_real_vec(0.0, d, kr->alpha);
  init_real_vec(0.0, d, kr->theta);
  init_real_vec(0.0, r, kr->beta);
}

void ensure_fit_storage(KrigModel* kr) {
  const int n = kr->alloc_n, r = kr->alloc_r;
  if (!kr->R) alloc_real_matrix(n, n, &kr->R);
  if (!kr->augR) alloc_real_matrix(n + r, n + r, &kr->augR);
  if (!kr->F) alloc_real_matrix(n, r, &kr->F);
  if (!kr->eigval) alloc_real_vector(n + r, &kr->eigval);
  if (!kr->inveig) alloc_real_vector(n + r, &kr->inveig);
}

void resize_KrigModel(KrigModel* kr, int n, int d) { resize_members(kr, n, d, true); }

void resize_KrigModel_to_design(KrigModel* kr, int n, int d) { resize_members(kr, n, d, false); }

void copy_KrigModel(const KrigModel* src, KrigModel* dst) {
  if (!src->init.X) fatal_error("copy_KrigModel: X in o-KrigModel not initialized , why ? ");
  const int n = src->n[0];
  const int d = src->d[0];
  // Never copy more rows or columns than the destination holds: bring its
  // storage to the source's design first.
  if (dst->alloc_d != d || dst->alloc_n < n) {
    resize_KrigModel(dst, n, d);
    dst->init.R = 0;
    dst->init.F = 0;
    dst->init.U = 0;
  }
  copy_real_matrix(n, d, src->X, dst->X);
  copy_string_vector(d, src->xlabels, dst->xlabels);
  dst->init.X = 1;
  if (src->init.range) {
    copy_real_matrix(d, 2, src->range, dst->range);
    dst->init.range = 1;
  }
}

void free_KrigModel(KrigModel* kr) {
  const int n = kr->alloc_n;
  const int d = kr->alloc_d;
  const int r = kr->alloc_r;
  release_vector(d, &kr->alpha, free_real_vector);
  release_vector(d, &kr->theta, free_real_vector);
  release_vector(r, &kr->beta, free_real_vector);
  release_vector(n, &kr->y, free_real_vector);
  release_vector(n + r, &kr->eigval, free_real_vector);
  release_vector(n + r, &kr->inveig, free_real_vector);
  release_matrix(n, d, &kr->X);
  release_matrix(n, n, &kr->R);
  release_matrix(n + r, n + r, &kr->augR);
  release_matrix(n, r, &kr->F);
  release_vector(1, &kr->d, free_int_vector);
  release_vector(1, &kr->n, free_int_vector);
  release_vector(1, &kr->r, free_int_vector);
  release_vector(1, &kr->sigma2, free_real_vector);
  release_vector(1, &kr->stochratio, free_real_vector);
  release_vector(1, &kr->loglik, free_real_vector);
  release_matrix(d, 2, &kr->range);
  release_vector(d, &kr->xlabels, free_string_vector);
  forget_decomposition_key(kr);
  clear_KrigModel(kr);
}

// ---- KrigArray ----

void default_KrigArray(int old_count, KrigArray* ka, int new_count) {
  ka->initialized = 1;
  check_invariant(new_count > 0, "default_KrigArray: Code Bug n<=0");
  if (old_count == 0) {
    ka->ydescrip = nullptr;
    ka->resp_index = nullptr;
    ka->cons_index = nullptr;
    alloc_real_matrix(new_count, 3, &ka->ydescrip);
    alloc_int_vector(new_count, &ka->resp_index);
    alloc_int_vector(new_count, &ka->cons_index);
  } else if (old_count > 0) {
    realloc_real_matrix(old_count, 3, &ka->ydescrip, new_count, 3);
    realloc_int_vector(old_count, &ka->resp_index, new_count);
    realloc_int_vector(old_count, &ka->cons_index, new_count);
  } else {
    invariant_broken("default_KrigArray: Code Bug , oldn<0");
  }
  for (int i = 0; i < new_count; i++) {
    ka->ydescrip[i][kYDescLower] = kNaMarker;
    ka->ydescrip[i][kYDescUpper] = kNoUpperBound;
    ka->ydescrip[i][kYDescConstraint] = 0.0;
    ka->resp_index[i] = i;
  }
  ka->nresp = new_count;
  ka->ncons = 0;
}

void adjust_KrigArray(KrigArray* ka) {
  check_invariant(ka->initialized, "Code Bug :adjust_KrigArray, ka not initialized");
  const int total = ka->nresp + ka->ncons;
  ka->nresp = 0;
  ka->ncons = 0;
  for (int i = 0; i < total; i++) {
    if (ka->ydescrip[i][kYDescConstraint] == 1.0)
      ka->cons_index[ka->ncons++] = i;
    else
      ka->resp_index[ka->nresp++] = i;
  }
  check_invariant(ka->nresp + ka->ncons == total, "Code Bug adjust_KrigArray");
  if (ka->nresp == 0)
    print_warning("There are no reponses among the y-variables (only constraints).");
}

int ky_count(const KrigArray* ka) { return ka->initialized ? ka->nresp + ka->ncons : 0; }

int y_count_unchecked(const KrigArray* ka) { return ka->nresp + ka->ncons; }

int model_count(const KrigArray* ka) {
  const int count = ky_count(ka);
  return count > 0 ? count : 1;
}

int change_krig_p(KrigArray* ka, KrigModel** models, int new_count) {
  int old = ky_count(ka);
  default_KrigArray(old, ka, new_count);
  if (old == 0) old = 1;
  if (new_count != old) {
    // Records about to be dropped give back their members first.
    for (int i = new_count; i < old; i++) free_KrigModel(&(*models)[i]);
    KrigModel* moved =
        static_cast<KrigModel*>(realloc(*models, sizeof(KrigModel) * static_cast<size_t>(new_count)));
    if (!moved) fatal_error("change_krig_p: Reallocation of KrigModel failure");
    *models = moved;
    for (int i = old; i < new_count; i++) zero_KrigModel(&moved[i]);
  }
  return 0;
}

void free_KrigArray(KrigArray* ka, int count) {
  if (ka->initialized && count > 0) {
    if (ka->ydescrip) free_real_matrix(count, 3, &ka->ydescrip);
    if (ka->resp_index) free_int_vector(count, &ka->resp_index);
    if (ka->cons_index) free_int_vector(count, &ka->cons_index);
  }
  free(ka);
}

void free_model_store(KrigArray* ka, KrigModel* models) {
  const int count = model_count(ka);
  for (int i = 0; i < count; i++) free_KrigModel(&models[i]);
  free(models);
  free_KrigArray(ka, ky_count(ka));
}
