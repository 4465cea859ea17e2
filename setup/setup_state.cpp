// The installer's one process-wide record.
#include "setup_state.h"

SetupState setupState;
