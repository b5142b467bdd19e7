#pragma once
// The L-System kind in batch mode: its own options (--iterations N, --stretch, --seed S) and
// the file render they steer.
#include "doc_types.h"

#include <vector>

namespace fractals {

std::vector<BatchOption> lsystemBatchOptions();
FileRenderResult renderLsystemBatch(const FileRenderRequest& request);

} // namespace fractals
