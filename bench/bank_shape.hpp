// A deterministic bank of the shipped bank's shape, for benchmarks.
#pragma once

#include "text.hpp"

namespace kv::bench {

// `copies` times 3476 lines of about 60 bytes; about two thirds hold "的" and
// about six in seven hold the full-width "？". Lines are "question|answer" in GBK.
TextArray MakeBankShape(int copies);

}  // namespace kv::bench
