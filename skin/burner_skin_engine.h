// The burner start-up's view of the skin engine, served by the engine of this folder.
#pragma once

#include "burner/app/burner_startup.h"

namespace skin {

class BurnerSkinEngine : public SkinEngine {
  public:
    int Start() override;
    int LoadSkinFromResource(const void* module, int resource, const char* type) override;
    int Shutdown() override;
};

} // namespace skin
