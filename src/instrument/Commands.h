// The logged command layer: every instrument operation of the panel.
#pragma once

#include <cstdint>

// The channel the card was last told to address; 0 means none yet. Only the
// channel selection changes it, and only when the card accepted it.
extern int32_t ActiveChannel;
