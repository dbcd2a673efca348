#pragma once

// Long exhaustive and statistical checks run in the optimised build; the build under
// AddressSanitizer skips them or takes a sample, as it runs many times slower.

namespace survseq::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

}  // namespace survseq::testing
