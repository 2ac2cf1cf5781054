// The number the agreement's key text is made of ("%07lu", first seven characters). LICENSE.DAT
// files are encrypted under it; the dialog, the licence tool and the tests all take it from here.
#pragma once

#include <cstdint>

inline constexpr uint32_t kAgreementKeyNumber = 1994071;
