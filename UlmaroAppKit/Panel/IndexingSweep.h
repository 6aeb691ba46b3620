#pragma once

#include <cmath>

namespace ulmaro {

/// The highlight that sweeps the indexing track: its leading edge, as a fraction of the
/// track's width, runs linearly from −1.0 to 1.35 in 1.2 s and starts again (no reversing),
/// so it enters beyond the leading edge and leaves beyond the trailing one.
namespace IndexingSweep {

inline constexpr double startPhase = -1.0;
inline constexpr double endPhase = 1.35;
inline constexpr double periodSeconds = 1.2;
/// The highlight's width, as a fraction of the track's.
inline constexpr double widthFraction = 0.35;

/// The phase `elapsed` seconds after the sweep (re)started.
inline double phase(double elapsedSeconds) {
    if (!(elapsedSeconds > 0)) return startPhase;
    const double cycle = std::fmod(elapsedSeconds, periodSeconds) / periodSeconds;
    return startPhase + (endPhase - startPhase) * cycle;
}

} // namespace IndexingSweep
} // namespace ulmaro
