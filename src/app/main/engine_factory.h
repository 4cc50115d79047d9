#pragma once

#include "app/error_code.h"
#include "engine/stream_config.h"
#include "engine/stream_engine.h"

// The product's engine: a StreamManager on the system's default output.
Created<StreamEngine> create_stream_engine(const StreamConfig& config);
