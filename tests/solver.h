#pragma once

#include "file.h"

// Searches for a solution of a level by breadth-first search over crate
// positions, with the player's reachable area normalised and squares from
// which no crate can reach a target pruned. Returns the number of pushes of
// a shortest solution, or -1 when none was found within `maxStates` states.
int solvePushes(const Level* level, long maxStates);
