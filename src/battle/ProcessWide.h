#pragma once
// One process-wide object of a type, built on first use and reset between tests.
#include "engine/Singletons.h"
