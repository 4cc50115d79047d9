#include "app/main/engine_factory.h"

#include "engine/stream_manager.h"

Created<StreamEngine> create_stream_engine(const StreamConfig& config) {
  return created_as<StreamEngine>(StreamManager::create(config));
}
