#include "input/design_parameters.h"

namespace survseq::input {

bool usesKeyedOnlyFeatures(const DesignParameters& design) {
  return design.accrualForm != AccrualForm::Bracket ||
         design.analysisTiming != AnalysisTiming::Calendar || design.allocationRatio != 1.0f ||
         design.accrualPieceCount > 0 || design.spendingFamily != SpendingFamily::Coded ||
         design.futility || usesCombination(design);
}

}  // namespace survseq::input
