#include "Kestrix/rendering/gpu/MetalLog.h"

Q_LOGGING_CATEGORY(metalAtlasLog, "MetalAtlas")
Q_LOGGING_CATEGORY(metalRendererLog, "MetalRenderer")
