// Logarithms of the improvement moments and of normal interval masses,
// against reference values computed to 60 digits (the moments through the
// parabolic cylinder function, I_g(u) = g! exp(-u^2/4) D_(-g-1)(-u) / sqrt(2 pi)).
#include <cmath>

#include <gtest/gtest.h>

#include "kriging/log_improvement.h"

namespace {

struct MomentReference {
  int g;
  double u;
  double log_moment;
  double dlog_du;
};

const MomentReference kMoments[] = {
    {0, 2, -0.023012909328963488465, 0.055247862678989959102},
    {0, -1.49, -2.6866001379456813426, 1.9301767996181939728},
    {0, -5, -15.064998393988725736, 5.1865039671258421156},
    {0, -38.5, -745.69527029041108133, 38.525939096854493696},
    {0, -10000, -50000010.129278915181, 10000.000099999998},
    {1, 2, 0.69738354578822831219, 0.48655931878528386862},
    {1, 0, -0.91893853320467274178, 1.2533141373155002512},
    {1, -1.49, -3.5071789534083923714, 2.2718144183596055895},
    {1, -1.5, -3.5299359208057098515, 2.2795806941564461644},
    {1, -5, -16.744301162660990143, 5.3618162412880885298},
    {1, -10, -55.553122036122355927, 10.194383033412553306},
    {1, -37.5, -711.29474844751272227, 37.55322011798027489},
    {1, -38.5, -749.3472742078229216, 38.551843404939509973},
    {1, -100, -5010.1295788002497923, 100.01999400419586505},
    {1, -1000, -500014.73445209115845, 1000.001999994000042},
    {1, -10000, -50000019.339619307157, 10000.000199999994},
    {2, 0, -0.69314718055994530942, 1.5957691216057307118},
    {2, -5, -17.760919979451523936, 5.5276678373526695826},
    {2, -37.5, -714.2280672441068322, 37.579773888161337154},
    {2, -10000, -50000027.856812528573, 10000.000299999988},
    {3, -1.5, -3.7155080043237718547, 2.8156279139914742303},
    {3, -100, -5017.5488592584715965, 100.03998002196745758},
    {10, 2, 11.720823515478558321, 2.3707575519086010651},
    {10, -1.49, 0.71729312215663148919, 4.0881704143053823715},
    {10, -1.5, 0.67638031832066198355, 4.0943915047518792365},
    {10, -5, -17.902994742475715496, 6.63002514288997362},
    {10, -38.5, -767.14092336643743284, 38.783439384122688308},
    {10, -10000, -50000087.128270711867, 10000.001099999868},
};

// Relative accuracy (1e-12; the recurrence loses most for g = 10 just above
// the switch) on both sides of the switch between the recurrence and
// the continued fraction, and far into the tail where the moments are 0 in
// double precision.
TEST(LogImprovement, MomentsAndTheirSlopesMatchHighPrecisionValuesFromTheTargetToFarBelow) {
  for (const MomentReference& r : kMoments) {
    double slope = 0.0;
    const double value = log_improvement_moment(r.g, r.u, &slope);
    EXPECT_NEAR(value, r.log_moment, 1e-12 * std::fmax(1.0, std::fabs(r.log_moment)))
        << "g=" << r.g << " u=" << r.u;
    EXPECT_NEAR(slope, r.dlog_du, 1e-12 * std::fabs(r.dlog_du)) << "g=" << r.g << " u=" << r.u;
  }
}

TEST(LogImprovement, MomentsRiseStrictlyWithUAndStayFiniteOverTheWholeTail) {
  for (int g : {0, 1, 2, 5, 10}) {
    double previous = -INFINITY;
    for (double u = -1e6; u < 3.0; u = u < -2.0 ? u * 0.93 : u + 0.01) {
      const double value = log_improvement_moment(g, u, nullptr);
      ASSERT_TRUE(std::isfinite(value)) << "g=" << g << " u=" << u;
      ASSERT_GT(value, previous) << "g=" << g << " u=" << u;
      previous = value;
    }
  }
  EXPECT_EQ(log_improvement_moment(1, -INFINITY, nullptr), -INFINITY);
  EXPECT_TRUE(std::isnan(log_improvement_moment(1, NAN, nullptr)));
  EXPECT_NEAR(log_improvement_moment(2, 1e9, nullptr), 2.0 * std::log(1e9), 1e-12);
}

TEST(LogImprovement, IntervalMassIsAccurateInEitherTailAndBetween) {
  struct {
    double a, b, log_mass;
  } const cases[] = {
      {-40, -39, -765.08315656437754441},   {-1e4, -9999.5, -49995010.254228913932},
      {39, 40, -765.08315656437754441},     {8, 8.5, -35.02879250857974781},
      {-1, 2, -0.20016629432446257995},     {-0.5, 0.25, -1.2372925013224502363},
      {-INFINITY, -50, -1254.8313611394199013}, {50, INFINITY, -1254.8313611394199013},
      {9, INFINITY, -43.628149113332115497}, {-INFINITY, 3, -0.0013508099647481937988},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(log_normal_interval(c.a, c.b, nullptr, nullptr), c.log_mass,
                1e-13 * std::fmax(1.0, std::fabs(c.log_mass)))
        << "[" << c.a << ", " << c.b << "]";
  EXPECT_EQ(log_normal_interval(-INFINITY, INFINITY, nullptr, nullptr), 0.0);
  EXPECT_EQ(log_normal_interval(1.0, 1.0, nullptr, nullptr), -INFINITY);
}

TEST(LogImprovement, IntervalSlopesMatchFiniteDifferences) {
  const double h = 1e-6;
  for (const auto& ab : {std::pair<double, double>{-30, -29.5}, {-0.3, 1.2}, {6, 7}}) {
    double da, db;
    log_normal_interval(ab.first, ab.second, &da, &db);
    const double fd_a = (log_normal_interval(ab.first + h, ab.second, nullptr, nullptr) -
                         log_normal_interval(ab.first - h, ab.second, nullptr, nullptr)) / (2 * h);
    const double fd_b = (log_normal_interval(ab.first, ab.second + h, nullptr, nullptr) -
                         log_normal_interval(ab.first, ab.second - h, nullptr, nullptr)) / (2 * h);
    EXPECT_NEAR(da, fd_a, 1e-6 * std::fmax(1.0, std::fabs(fd_a)));
    EXPECT_NEAR(db, fd_b, 1e-6 * std::fmax(1.0, std::fabs(fd_b)));
  }
}

}  // namespace
