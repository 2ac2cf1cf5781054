#pragma once

#include "cipher/des_block.h"

// Block calls made through the counting binding since the process started.
extern int countedDesBlockCalls;
