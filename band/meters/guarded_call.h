// Calls a one-argument function of an outside module so that a structured exception raised in
// it (an access violation in a broken rsrc32.dll, say) returns here instead of ending the shell.
#pragma once

#include <stdint.h>

// fn takes one pointer-sized argument (standard calling convention on 32-bit Windows).
// Returns 1 and stores fn's result, or 0 when fn raised an exception.
extern "C" int VtGuardedCall1(void* fn, uintptr_t argument, uintptr_t* result);
