// First use in a fresh process: what a client that makes one object and ends
// pays for it, against the platform's own cost of the same start.
//
//   native_bench --cold <progid>    child: one first CreateObject, in this process
//   native_bench --raw mixer|printer
//                                   child: the platform work that creating that
//                                   class needs (its DLLs loaded on the way)
//   native_bench --first-use <rounds> <pair>...
//                                   the pairs below, each side a fresh process
//                                   per round: registry, application, mixer,
//                                   printer, script
#pragma once

namespace tessary::bench {

// Runs a child mode named by the command line; -1 when it names none.
int FirstUseChild(int argc, wchar_t** argv);

// The first CreateObject of each class and of Scripting.Dictionary, one fresh
// process each per round ("cold" lines).
void ColdStarts(int rounds);

// The first-use pairs named in `pairs` ("sample" lines, one per fresh process).
void FirstUsePairs(int rounds, wchar_t** pairs, int count);

}  // namespace tessary::bench
