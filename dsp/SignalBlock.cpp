#include "SignalBlock.h"

#include <type_traits>

// The block is a plain view: copied by value, built with braces, never constructed by code.
static_assert(std::is_trivial<SignalBlock>::value, "SignalBlock must stay a plain record");
static_assert(std::is_standard_layout<SignalBlock>::value, "SignalBlock must stay a plain record");
