#include "app/program_state.h"

ProgramState program;
