#include "skin/burner_skin_engine.h"

#include "skin/skin_engine.h"

namespace skin {

int BurnerSkinEngine::Start() {
    return StartEngine(nullptr, "Vandrel");
}

int BurnerSkinEngine::LoadSkinFromResource(const void* module, int resource, const char* type) {
    return skin::LoadSkinFromResource(module, resource, type);
}

int BurnerSkinEngine::Shutdown() {
    return ShutdownEngine();
}

} // namespace skin
