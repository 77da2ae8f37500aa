// Picture of a cross-validation: for each y variable a panel of the
// leave-one-out predictions against the observed values, each with a bar of
// +/- 2 standard errors, and the line y = x on which a perfect prediction
// lies.
#ifndef DORVE_KRIGING_CV_PLOT_H_
#define DORVE_KRIGING_CV_PLOT_H_

// One y variable's validation: N observed values, predictions and standard
// errors. Points whose prediction is the missing-value marker (the model was
// not fitted) are left out.
struct CvPlotSeries {
  const char* yname = "";
  int N = 0;
  const double* observed = nullptr;
  const double* predicted = nullptr;
  const double* std_error = nullptr;
};

// Writes the panels of count y variables (at most three to a row) to
// file_name; false when the file could not be created or written (reported).
bool write_cross_validation_svg(const char* file_name, const CvPlotSeries* series, int count);

#endif  // DORVE_KRIGING_CV_PLOT_H_
