// The translation unit the shared precompiled header is built with.
#include "CorePch.h"
