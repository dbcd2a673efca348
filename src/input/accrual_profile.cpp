#include "input/accrual_profile.h"

#include <cmath>

namespace survseq::input {

namespace {

double pieceWeight(const DesignParameters& design, int32_t i) {
  return double(design.accrualRelativeRates[i]) * double(design.accrualPieceDurations[i]);
}

}  // namespace

double accrualWeight(const DesignParameters& design) {
  if (design.accrualPieceCount == 0) return double(design.accrualPeriod);
  double weight = 0.0;
  for (int32_t i = 1; i <= design.accrualPieceCount; ++i) weight += pieceWeight(design, i);
  return weight;
}

int32_t patientsAtRate(const DesignParameters& design, float rate) {
  return static_cast<int32_t>(std::trunc(double(rate) * accrualWeight(design)));
}

float rateForPatients(const DesignParameters& design, int32_t patients) {
  float rate = static_cast<float>(double(patients) / accrualWeight(design));
  // The quotient may round to either side of the exact rate; step to the smallest
  // float that gives the patients.
  while (rate > 0.0f && patientsAtRate(design, rate) >= patients) {
    const float below = std::nextafter(rate, 0.0f);
    if (patientsAtRate(design, below) < patients) break;
    rate = below;
  }
  while (patientsAtRate(design, rate) < patients) rate = std::nextafter(rate, INFINITY);
  return rate;
}

double enrolledShareBy(const DesignParameters& design, double t) {
  if (t <= 0.0) return 0.0;
  if (design.accrualPieceCount == 0) {
    return t >= double(design.accrualPeriod) ? 1.0 : t / double(design.accrualPeriod);
  }
  const double total = accrualWeight(design);
  double start = 0.0;
  double enrolled = 0.0;
  for (int32_t i = 1; i <= design.accrualPieceCount; ++i) {
    const double duration = double(design.accrualPieceDurations[i]);
    if (t < start + duration) {
      return (enrolled + double(design.accrualRelativeRates[i]) * (t - start)) / total;
    }
    enrolled += pieceWeight(design, i);
    start += duration;
  }
  return 1.0;
}

double entryTimeAtShare(const DesignParameters& design, double share) {
  if (design.accrualPieceCount == 0) return share * double(design.accrualPeriod);
  const double target = share * accrualWeight(design);
  double start = 0.0;
  double enrolled = 0.0;
  for (int32_t i = 1; i <= design.accrualPieceCount; ++i) {
    const double duration = double(design.accrualPieceDurations[i]);
    const double weight = pieceWeight(design, i);
    if (weight > 0.0 && target <= enrolled + weight) {
      return start + (target - enrolled) / double(design.accrualRelativeRates[i]);
    }
    enrolled += weight;
    start += duration;
  }
  return start;
}

double controlShare(const DesignParameters& design) {
  return 1.0 / (1.0 + double(design.allocationRatio));
}

double treatmentShare(const DesignParameters& design) {
  return double(design.allocationRatio) / (1.0 + double(design.allocationRatio));
}

int32_t controlPatients(const DesignParameters& design, int32_t patients) {
  // Round half down: ceil(x - 1/2).
  return static_cast<int32_t>(std::ceil(double(patients) * controlShare(design) - 0.5));
}

}  // namespace survseq::input
