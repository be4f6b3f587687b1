#pragma once

#include <QLoggingCategory>

// The GPU renderer's log categories: the glyph atlases and frame building ("MetalAtlas"), and the
// renderer's set-up ("MetalRenderer").
Q_DECLARE_LOGGING_CATEGORY(metalAtlasLog)
Q_DECLARE_LOGGING_CATEGORY(metalRendererLog)
