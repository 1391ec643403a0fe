#pragma once
// One hide or extract operation from the program side, and the perform
// button's whole sequence around it.
#include "driver/workflow.h"

namespace velta {

class UiPort;

// The run itself (the entries have been validated).
void PerformOperation(WorkflowHost &host, UiPort &ui, OperationState &state);

// Validation, the overwrite question, the run, the pauses and the cleaning of
// the working folder. What the perform button does.
void PerformTheOperation(WorkflowHost &host, UiPort &ui, OperationState &state);

// Pauses after a run.
constexpr int kPauseAfterRunMs = 1000;
constexpr int kPauseAfterBrowserHideMs = 3000;

}  // namespace velta
