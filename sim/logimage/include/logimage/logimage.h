// Log-image encoder: raw runs and whole tracks.
#pragma once

#include "logimage/fields.h"
#include "logimage/raw.h"
#include "logimage/track.h"
