#pragma once
// Switches for measuring each speed trick against the plain code in one run.
namespace Tricks {
extern bool Sse2Halving, UnrolledTaps, BranchFreeRuns, ThreadedReduction, JpegInPieces;
}
