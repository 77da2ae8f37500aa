#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data/model_store.h"
#include "data_test_support.h"
#include "fatal_test_support.h"
#include "numeric/alloc_registry.h"
#include "numeric_test_support.h"

namespace {

// The store as start-up leaves it: one placeholder model, no y variables.
struct Store {
  KrigModel* models = nullptr;
  KrigArray* ka = nullptr;
  Store() {
    models = create_first_KrigModel();
    ka = create_KrigArray();
    start_placeholder_store(models, ka);
  }
  void release() {
    if (models) free_model_store(ka, models);
    models = nullptr;
    ka = nullptr;
  }
  ~Store() { release(); }
};

void expect_members_null(const KrigModel& kr) {
  EXPECT_EQ(kr.n, nullptr);
  EXPECT_EQ(kr.d, nullptr);
  EXPECT_EQ(kr.r, nullptr);
  EXPECT_EQ(kr.X, nullptr);
  EXPECT_EQ(kr.y, nullptr);
  EXPECT_EQ(kr.R, nullptr);
  EXPECT_EQ(kr.augR, nullptr);
  EXPECT_EQ(kr.xlabels, nullptr);
  EXPECT_EQ(kr.loglik, nullptr);
}

// Fills model 0's design so that it can be copied.
void fill_design(KrigModel* kr) {
  const int n = kr->n[0], d = kr->d[0];
  for (int i = 0; i < n; i++)
    for (int j = 0; j < d; j++) kr->X[i][j] = 100.0 * i + j;
  for (int j = 0; j < d; j++) {
    snprintf(kr->xlabels[j], kSlotLen, "x%d", j + 1);
    kr->range[j][0] = -j;
    kr->range[j][1] = j + 1;
  }
  kr->init.X = 1;
}

TEST(DataModelStore, StartUpGivesPlaceholderModel0AndEmptyArray) {
  TrackingScope tracking(true);
  RegistrySnapshot before;
  {
    Store s;
    const KrigModel& kr = s.models[0];
    EXPECT_EQ(kr.n[0], 21);
    EXPECT_EQ(kr.d[0], 2);
    EXPECT_EQ(kr.r[0], 1);
    EXPECT_STREQ(kr.yname, "EMPTY");
    EXPECT_EQ(kr.stochratio[0], 1.0);
    EXPECT_EQ(kr.loglik[0], kNaMarker);
    EXPECT_EQ(kr.nfixed, 1);
    const int* flags = &kr.init.X;
    for (int k = 0; k < 10; k++) EXPECT_EQ(flags[k], 0) << "flag " << k;
    // What the fit computes waits until it is computed.
    EXPECT_EQ(kr.F, nullptr);
    EXPECT_EQ(kr.R, nullptr);
    for (int j = 0; j < 2; j++) {
      EXPECT_EQ(kr.alpha[j], 0.0);
      EXPECT_EQ(kr.theta[j], 0.0);
    }
    EXPECT_EQ(kr.beta[0], 0.0);
    EXPECT_EQ(s.ka->initialized, 0);
    EXPECT_EQ(s.ka->has_bounds, 0);
    EXPECT_EQ(s.ka->nresp, 0);
    EXPECT_EQ(s.ka->ncons, 0);
    EXPECT_EQ(s.ka->ydescrip, nullptr);
    EXPECT_EQ(ky_count(s.ka), 0);
    EXPECT_EQ(model_count(s.ka), 1);
  }
  // Releasing the uninitialised store gives back model 0 too.
  expect_registry_back_to(before);
}

TEST(DataModelStore, NaMarkersAreTheDocumentedValues) {
  EXPECT_EQ(kNaMarker, -1e14);
  EXPECT_EQ(kNoUpperBound, 1e14);
}

TEST(DataModelStore, DefaultKrigArraySetsUpAndResetsEveryRowOnResize) {
  TrackingScope tracking(true);
  RegistrySnapshot before;
  KrigArray* ka = create_KrigArray();
  default_KrigArray(0, ka, 2);
  EXPECT_EQ(ka->initialized, 1);
  ka->ydescrip[0][0] = 5.0;
  ka->ydescrip[1][2] = 1.0;
  ka->has_bounds = 1;
  adjust_KrigArray(ka);
  ASSERT_EQ(ka->ncons, 1);

  default_KrigArray(2, ka, 4);
  EXPECT_EQ(ka->nresp, 4);
  EXPECT_EQ(ka->ncons, 0);
  EXPECT_EQ(ka->has_bounds, 1);
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(ka->ydescrip[i][0], kNaMarker) << i;
    EXPECT_EQ(ka->ydescrip[i][1], kNoUpperBound) << i;
    EXPECT_EQ(ka->ydescrip[i][2], 0.0) << i;
    EXPECT_EQ(ka->resp_index[i], i);
  }
  free_KrigArray(ka, 4);
  expect_registry_back_to(before);
}

TEST(DataModelStore, AdjustKrigArraySplitsResponsesAndConstraints) {
  KrigArray* ka = create_KrigArray();
  default_KrigArray(0, ka, 4);
  const double flags[4] = {0.0, 1.0, 0.0, 1.0};
  for (int i = 0; i < 4; i++) ka->ydescrip[i][2] = flags[i];
  adjust_KrigArray(ka);
  EXPECT_EQ(ka->nresp, 2);
  EXPECT_EQ(ka->ncons, 2);
  EXPECT_EQ(ka->resp_index[0], 0);
  EXPECT_EQ(ka->resp_index[1], 2);
  EXPECT_EQ(ka->cons_index[0], 1);
  EXPECT_EQ(ka->cons_index[1], 3);

  // Only exactly 1.0 is a constraint.
  ka->ydescrip[1][2] = 0.5;
  ka->ydescrip[3][2] = 1.0000000000000002;
  adjust_KrigArray(ka);
  EXPECT_EQ(ka->nresp, 4);
  EXPECT_EQ(ka->ncons, 0);

  CapturedOutput out;
  for (int i = 0; i < 4; i++) ka->ydescrip[i][2] = 1.0;
  adjust_KrigArray(ka);
  EXPECT_EQ(ka->nresp, 0);
  EXPECT_EQ(ka->ncons, 4);
  EXPECT_EQ(out.text(),
            "WARNING: There are no reponses among the y-variables (only constraints).\n");
  free_KrigArray(ka, 4);
}

TEST(DataModelStore, ChangeKrigPGrowsTheArrayWithClearedRecords) {
  TrackingScope tracking(true);
  RegistrySnapshot before;
  {
    Store s;
    KrigModel* old_address = s.models;
    EXPECT_EQ(change_krig_p(s.ka, &s.models, 1), 0);
    EXPECT_EQ(s.models, old_address);
    EXPECT_EQ(s.ka->initialized, 1);
    EXPECT_EQ(s.ka->nresp, 1);
    EXPECT_EQ(s.models[0].n[0], 21);
  }
  {
    Store s;
    s.models[0].init.X = 1;
    EXPECT_EQ(change_krig_p(s.ka, &s.models, 3), 0);
    EXPECT_EQ(s.ka->nresp, 3);
    EXPECT_EQ(model_count(s.ka), 3);
    EXPECT_EQ(s.models[0].n[0], 21);
    EXPECT_EQ(s.models[0].init.X, 1);
    expect_members_null(s.models[1]);
    expect_members_null(s.models[2]);
    // As the readers do: model 0's sizes for the new models.
    for (int i = 1; i < 3; i++) default_KrigModel(&s.models[i], 21, 2, 1);
    EXPECT_STREQ(s.models[2].yname, "EMPTY");
  }
  {
    // Records that were cleared but never given members are released cleanly.
    Store s;
    change_krig_p(s.ka, &s.models, 5);
  }
  expect_registry_back_to(before);
}

TEST(DataModelStore, ChangeKrigPShrinkingReleasesDroppedModels) {
  TrackingScope tracking(true);
  RegistrySnapshot before;
  {
    Store s;
    change_krig_p(s.ka, &s.models, 3);
    for (int i = 1; i < 3; i++) default_KrigModel(&s.models[i], 21, 2, 1);
    change_krig_p(s.ka, &s.models, 2);
    EXPECT_EQ(s.ka->nresp, 2);
  }
  expect_registry_back_to(before);
}

TEST(DataModelStore, CopyKrigModelCopiesDesignOnly) {
  TrackingScope tracking(true);
  RegistrySnapshot before;
  {
    Store s;
    change_krig_p(s.ka, &s.models, 2);
    default_KrigModel(&s.models[1], 21, 2, 1);
    fill_design(&s.models[0]);
    s.models[1].n[0] = 21;
    s.models[1].theta[0] = 7.0;
    copy_KrigModel(&s.models[0], &s.models[1]);
    const KrigModel& dst = s.models[1];
    EXPECT_EQ(dst.init.X, 1);
    EXPECT_EQ(dst.init.range, 0);  // source range flag not set
    EXPECT_EQ(dst.X[20][1], 2001.0);
    EXPECT_STREQ(dst.xlabels[1], "x2");
    EXPECT_EQ(dst.theta[0], 7.0);

    s.models[0].init.range = 1;
    copy_KrigModel(&s.models[0], &s.models[1]);
    EXPECT_EQ(dst.init.range, 1);
    EXPECT_EQ(dst.range[1][0], -1.0);
    EXPECT_EQ(dst.range[1][1], 2.0);
  }
  expect_registry_back_to(before);
}

TEST(DataModelStore, CopyKrigModelResizesADestinationThatIsTooSmall) {
  TrackingScope tracking(true);
  RegistrySnapshot before;
  {
    Store s;
    change_krig_p(s.ka, &s.models, 2);
    default_KrigModel(&s.models[1], 21, 2, 1);
    // X re-read with more rows and columns: only model 0 follows.
    resize_KrigModel(&s.models[0], 30, 3);
    EXPECT_EQ(s.models[0].n[0], 30);
    EXPECT_EQ(s.models[0].d[0], 3);
    fill_design(&s.models[0]);
    s.models[1].init.R = 1;
    s.models[1].init.U = 1;
    copy_KrigModel(&s.models[0], &s.models[1]);
    const KrigModel& dst = s.models[1];
    EXPECT_EQ(dst.n[0], 30);
    EXPECT_EQ(dst.d[0], 3);
    EXPECT_EQ(dst.X[29][2], 2902.0);
    EXPECT_STREQ(dst.xlabels[2], "x3");
    EXPECT_EQ(dst.alpha[2], 0.0);
    EXPECT_EQ(dst.init.R, 0);
    EXPECT_EQ(dst.init.U, 0);

    // Fewer rows in the source: the destination keeps its larger storage.
    resize_KrigModel(&s.models[0], 10, 3);
    fill_design(&s.models[0]);
    copy_KrigModel(&s.models[0], &s.models[1]);
    EXPECT_EQ(dst.alloc_n, 30);
    EXPECT_EQ(dst.X[9][0], 900.0);
  }
  expect_registry_back_to(before);
}

TEST(DataModelStore, ReleaseUsesAllocatedSizesAfterNIsLowered) {
  TrackingScope tracking(true);
  RegistrySnapshot before;
  {
    Store s;
    change_krig_p(s.ka, &s.models, 2);
    default_KrigModel(&s.models[1], 21, 2, 1);
    // A y matrix with fewer rows, read while nfixed is clear, lowers n only.
    s.models[0].n[0] = 5;
    s.models[1].n[0] = 5;
  }
  expect_registry_back_to(before);
}

TEST(DataModelStore, ResizeToDesignLeavesXAndLabelsToTheCaller) {
  TrackingScope tracking(true);
  RegistrySnapshot before;
  {
    Store s;
    KrigModel* kr = &s.models[0];
    // The matrix reader resizes X and xlabels in place; the rest follows.
    realloc_real_matrix(21, 2, &kr->X, 8, 4);
    realloc_string_vector(2, &kr->xlabels, 4);
    resize_KrigModel_to_design(kr, 8, 4);
    EXPECT_EQ(kr->n[0], 8);
    EXPECT_EQ(kr->d[0], 4);
    EXPECT_EQ(kr->theta[3], 0.0);
    // The n^2 members wait until something computes them, then have the new n.
    EXPECT_EQ(kr->augR, nullptr);
    ensure_fit_storage(kr);
    kr->augR[8][8] = 1.0;  // (n + r) x (n + r)
    kr->R[7][7] = 1.0;
    kr->F[7][0] = 1.0;
  }
  expect_registry_back_to(before);
}

TEST(DataModelStore, LifecycleWithTheRegistryOff) {
  TrackingScope tracking(false);
  Store s;
  change_krig_p(s.ka, &s.models, 3);
  for (int i = 1; i < 3; i++) default_KrigModel(&s.models[i], 21, 2, 1);
  resize_KrigModel(&s.models[0], 40, 5);
  fill_design(&s.models[0]);
  copy_KrigModel(&s.models[0], &s.models[2]);
  EXPECT_EQ(s.models[2].X[39][4], 3904.0);
  s.ka->ydescrip[1][2] = 1.0;
  adjust_KrigArray(s.ka);
  EXPECT_EQ(s.ka->ncons, 1);
  s.release();
}

using DataModelStoreDeath = ::testing::Test;

TEST(DataModelStoreDeath, InternalInconsistenciesAreFatal) {
  KrigArray* ka = create_KrigArray();
  EXPECT_FATAL_EXIT(default_KrigArray(0, ka, 0), ::testing::ExitedWithCode(1),
                    fatal_text("default_KrigArray: Code Bug n<=0"));
  EXPECT_FATAL_EXIT(default_KrigArray(-1, ka, 2), ::testing::ExitedWithCode(1),
                    fatal_text("default_KrigArray: Code Bug , oldn<0"));
  EXPECT_FATAL_EXIT(adjust_KrigArray(ka), ::testing::ExitedWithCode(1),
                    fatal_text("Code Bug :adjust_KrigArray, ka not initialized"));
  free_KrigArray(ka, 0);

  Store s;
  change_krig_p(s.ka, &s.models, 2);
  default_KrigModel(&s.models[1], 21, 2, 1);
  EXPECT_FATAL_EXIT(copy_KrigModel(&s.models[0], &s.models[1]), ::testing::ExitedWithCode(1),
                    fatal_text("copy_KrigModel: X in o-KrigModel not initialized , why ? "));
}

}  // namespace
