#include "input/design_parameters.h"

namespace survseq::input {

const char* plannedInformationName(PlannedInformation scale) {
  switch (scale) {
    case PlannedInformation::Alternative:
      return "alternative";
    case PlannedInformation::Null:
      return "null";
    case PlannedInformation::Original:
      break;
  }
  return "original";
}

bool usesKeyedOnlyFeatures(const DesignParameters& design) {
  return design.accrualForm != AccrualForm::Bracket ||
         design.analysisTiming != AnalysisTiming::Calendar || design.allocationRatio != 1.0f ||
         design.accrualPieceCount > 0 || design.spendingFamily != SpendingFamily::Coded ||
         design.futility || design.plannedInformation != PlannedInformation::Original ||
         usesCombination(design);
}

}  // namespace survseq::input
