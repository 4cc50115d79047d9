#include "app/main/engine_factory.h"

#include "engine/stream_manager.h"

Created<StreamEngine> create_stream_engine(const StreamConfig& config) {
  Created<StreamManager> created = StreamManager::create(config);
  Created<StreamEngine> engine;
  engine.code = created.code;
  engine.object = std::move(created.object);
  return engine;
}
