#pragma once
// Priorities of the engine's worker threads.

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Applies the priority to the calling thread as far as the system allows an ordinary user: the
// lower ones become a higher nice value; raising above normal needs privileges and is skipped
// quietly when refused.
void ApplyThreadPriority(TThreadPriority priority);
