#pragma once

// The 24-point Gauss-Legendre rule on [-1, 1]. Its nodes come in pairs +-u(m), each
// pair sharing the weight w(m), so only the 12 positive nodes are kept; their weights
// sum to 1 (all 24 weights sum to 2, the length of [-1, 1]). For an integrand h
//
//   integral over (-E, E) of h(y) dy  ~  E * sum over m of w(m) * [h(E u(m)) + h(-E u(m))].

#include <array>

namespace survseq::bounds {

inline constexpr int kQuadratureNodes = 12;

// Positive roots of the Legendre polynomial P_24, ascending.
inline constexpr std::array<float, kQuadratureNodes> kQuadratureNode = {
    0.0640568928626056f, 0.1911188674736163f, 0.3150426796961634f, 0.4337935076260451f,
    0.5454214713888396f, 0.6480936519369755f, 0.7401241915785544f, 0.8200019859739029f,
    0.8864155270044011f, 0.9382745520027328f, 0.9747285559713095f, 0.9951872199970213f};

// Weight of each node: 2 / ((1 - u^2) P_24'(u)^2).
inline constexpr std::array<float, kQuadratureNodes> kQuadratureWeight = {
    0.1279381953467522f, 0.1258374563468283f, 0.1216704729278034f, 0.1155056680537256f,
    0.1074442701159656f, 0.0976186521041139f, 0.0861901615319533f, 0.0733464814110803f,
    0.0592985849154368f, 0.0442774388174198f, 0.0285313886289337f, 0.0123412297999872f};

}  // namespace survseq::bounds
