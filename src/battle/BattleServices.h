#pragma once
// Battle services the clock steps every frame: air strikes and air drops (dog tags are
// in DogTags.h).
#include "battle/AirDrops.h"
#include "battle/AirStrikes.h"
#include "battle/DogTags.h"
