#pragma once

// The analytic plan of a design as the text `survseq plan` prints and as the "plan"
// object of its JSON file (docs/plan-json.md).

#include <nlohmann/json.hpp>
#include <string>

#include "input/design_parameters.h"
#include "plan/analytic_power.h"
#include "run/protocol_table.h"

namespace survseq::run {

// How the plan's rate came about: the analytic rate for the desired power, or the
// design's given rate or patients.
enum class PlanBasis { DesiredPower, GivenSize };

// `protocol` is protocolTableOfPlan(design, plan).
std::string planText(const input::DesignParameters& design, const plan::AnalyticPlan& plan,
                     PlanBasis basis, const ProtocolTable& protocol);

nlohmann::ordered_json planJson(const input::DesignParameters& design,
                                const plan::AnalyticPlan& plan, PlanBasis basis,
                                const ProtocolTable& protocol);

}  // namespace survseq::run
