#pragma once

// How patients enter a trial and which arm they join, as functions of the design: the
// accrual pieces (ramp-up) and the allocation ratio. The simulation draws entry times
// and arms from these, and the planned information, the expected events and the
// analytic power integrate over the same laws.
//
// Piece i enrols at rate x relativeRate[i] during its duration; with no pieces the whole
// accrual period enrols at the full rate. The entry time is piecewise uniform: its
// distribution function rises linearly within each piece, with slope proportional to
// the piece's relative rate.

#include <cstdint>

#include "input/design_parameters.h"

namespace survseq::input {

// Sum over the pieces of relative rate x duration: the patients per unit of rate
// (the accrual period when there are no pieces).
double accrualWeight(const DesignParameters& design);

// Patients per trial at `rate`: rate x accrualWeight, truncated.
int32_t patientsAtRate(const DesignParameters& design, float rate);

// The rate that enrols `patients` patients over the accrual: the smallest single-precision
// rate r with patientsAtRate(design, r) == patients.
float rateForPatients(const DesignParameters& design, int32_t patients);

// Share of the patients that have entered by time t (0 before 0, 1 after the accrual).
double enrolledShareBy(const DesignParameters& design, double t);

// The entry time at which `share` (in [0, 1]) of the patients have entered: the inverse
// of enrolledShareBy. With no pieces it is share x accrualPeriod, the original draw.
double entryTimeAtShare(const DesignParameters& design, double share);

// Shares of the patients in each arm: 1 / (1 + r) control and r / (1 + r) treatment.
double controlShare(const DesignParameters& design);
double treatmentShare(const DesignParameters& design);

// Control patients of a trial of `patients`: the first round(patients / (1 + r)), with
// halves rounded down so that 1:1 allocation keeps the original floor(patients / 2).
int32_t controlPatients(const DesignParameters& design, int32_t patients);

}  // namespace survseq::input
