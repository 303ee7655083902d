#include "engine/program_state.h"

// The one program state: each field says which thread owns it.
ProgramState program;
