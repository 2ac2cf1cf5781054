#pragma once

#include "cipher/des_block.h"

// Block calls made through the faulty binding since the process started.
extern int faultyDesBlockCalls;
