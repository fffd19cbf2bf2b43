// How a run records the making of a design (design/provenance.h): the time with its
// zone (Env::ZoneOffset), and seeds drawn from the operating system's entropy.
#ifndef DROPKIT_JACKKNIFE_PROVENANCE_H_
#define DROPKIT_JACKKNIFE_PROVENANCE_H_

#include <cstdint>
#include <string>

#include "design/provenance.h"
#include "os/env.h"
#include "random/random.h"  // EntropySeed

namespace dk {

// `t` in ISO 8601 with whole seconds and the offset: "2026-12-07T14:05:30+01:00",
// "...-03:30", "+00:00" for UTC. Fractions of a second are dropped.
std::string IsoDateTime(const LocalTime& t, long offset_seconds);

// Shows a seed drawn from entropy on Env::Current()->ConsoleErr as "seed: N", so that
// the run can be drawn again with it.
void ShowDrawnSeed(std::uint64_t seed);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_PROVENANCE_H_
