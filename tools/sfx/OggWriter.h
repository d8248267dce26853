#pragma once
// Writes finished sounds as OGG Vorbis files, making their folders as needed.
#include <string>

#include "Synth.h"

namespace sfx {

// r null writes mono; quality is Vorbis VBR quality (-0.1 .. 1).
bool WriteOgg(const std::string& path, const Mono& l, const Mono* r, float quality);

}  // namespace sfx
