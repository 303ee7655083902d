#include "engine/program_state.h"

ProgramState program;
