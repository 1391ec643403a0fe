#pragma once
// The checks before an operation starts, in their fixed order.
#include <QString>

#include "driver/workflow.h"

namespace velta {

// Data files larger than this are refused before an operation.
constexpr int64_t kMaxDataFileBytes = int64_t{1} << 30;
// ...and larger than this when chosen.
constexpr int64_t kMaxChosenDataFileBytes = int64_t{262144000};

// The first problem of the entries, or empty. When hiding, sets
// state.data_file_length on the way.
QString ValidateInput(const Entries &entries, bool key_empty, const WorkflowHost &host,
                      OperationState &state);

}  // namespace velta
