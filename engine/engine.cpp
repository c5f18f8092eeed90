#include "tidelin/engine.h"

#include "engine_core.h"

namespace tidelin {

Engine::Engine(EngineHost& host, MessageLog& log) : core_(std::make_unique<EngineCore>(host, log)) {}

Engine::~Engine() = default;

void Engine::ChooseWorkFile() { core_->ChooseWorkFile(); }

const std::string& Engine::WorkFile() const { return core_->WorkFile(); }

void Engine::Unload() noexcept { core_->Unload(); }

bool Engine::Convert(const std::string& path, Direction direction) { return core_->Convert(path, direction); }

bool Engine::IsBinaryFile(const std::string& path) { return core_->IsBinaryFile(path); }

void Engine::SetOptions(const ConversionOptions& options) { core_->SetOptions(options); }

void Engine::CloseAllFiles() noexcept { core_->CloseAllFiles(); }

MessageLog& Engine::Log() { return core_->Log(); }

EngineHost& Engine::Host() { return core_->Host(); }

}  // namespace tidelin
