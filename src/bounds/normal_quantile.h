#pragma once

namespace survseq::bounds {

// The z with P(Z < z) = p in double precision, by Wichura's algorithm AS 241 (PPND16,
// 1988), accurate to about 1e-16 relative. p at or below 0 gives -infinity, at or above 1
// +infinity, and a p that is not a number gives NaN.
double standardNormalQuantile(double p);

}  // namespace survseq::bounds
